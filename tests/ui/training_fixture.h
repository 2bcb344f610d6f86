// The main window with its training menu, a fake sound device, a hand-ticked timer and a data
// folder of the test's own, removed afterwards; no error may be reported meanwhile.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "ui/main_window.h"
#include "ui/training_menu.h"

namespace kelvak {

class MainWindowWithTraining : public ::testing::Test {
 protected:
  ErrorReport report{[this](QMessageBox& b) { reports.push_back(b.text()); }};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<TrainingMenu> training;
  std::vector<QString> reports;
  std::filesystem::path dir;

  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          ("kelvak_training_ui_" + std::to_string(getpid()) + "_" + test->test_suite_name() + "_" +
           test->name());
    std::filesystem::remove_all(dir);
    device.clock = &timer.now;
    form = std::make_unique<MainWindow>(device, gate, &timer);
    training = std::make_unique<TrainingMenu>(*form, gate, historyPath());
  }
  void TearDown() override {
    training.reset();
    form.reset();
    // A test may have taken the folder's permissions away.
    if (std::filesystem::exists(dir)) {
      std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    }
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(reports.empty());
  }
  std::string historyPath() const { return (dir / "history.jsonl").string(); }
  bool tick() {
    return timer.fireNext([this] { form->tick(); });
  }
  // Plays a transmission of `groups` to its end; returns the pane.
  std::string playToEnd(const QString& groups) {
    testing::control<QLineEdit>(*form, "groupCountEdit")->setText(groups);
    QTest::mouseClick(testing::control<QPushButton>(*form, "PlayButton"), Qt::LeftButton);
    while (tick()) {
    }
    return pane();
  }
  // What was sent, as the pane shows it.
  std::string pane() const {
    return testing::control<QPlainTextEdit>(*form, "textPane")->toPlainText().toStdString();
  }
};

}  // namespace kelvak
