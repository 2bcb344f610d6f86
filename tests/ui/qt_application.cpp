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
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
