// One QApplication for the whole window test binary.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "ui/application_setup.h"

namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "kelvak.ui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    // Qt's Russian texts and the access-key guard, as the program has them.
    kelvak::setUpApplication(*app_);
    // No exception may leave an event handler: Qt says so when one does, and that fails the test.
    previous_ = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
          if (message.contains("exception", Qt::CaseInsensitive) &&
              message.contains("event handler", Qt::CaseInsensitive)) {
            ADD_FAILURE() << message.toStdString();
          }
          if (previous_) previous_(type, context, message);
        });
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
  inline static QtMessageHandler previous_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
