// Views that keep what the presenters show them, for tests without a toolkit, and a history file
// of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "presenter/error_gate.h"

namespace kelvak::testing {

// A folder of the test's own, removed afterwards; the error reports its events made, which the
// test must take away (reports.clear()) when it expects them.
class PresenterTest : public ::testing::Test, public ErrorReporter {
 protected:
  std::filesystem::path dir;  // made first: the members after it may name files in it
  ErrorGate gate{*this};
  std::vector<std::string> reports;

  PresenterTest() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test->name();  // "Case/0" for a parameterised one
    for (char& c : name) c = c == '/' ? '_' : c;
    dir = std::filesystem::temp_directory_path() /
          ("kelvak_presenter_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  ~PresenterTest() override { std::filesystem::remove_all(dir); }
  void TearDown() override { EXPECT_TRUE(reports.empty()) << reports.front(); }
  void showErrorReport(const std::string& text) override { reports.push_back(text); }
  auto dispatch() {
    return [this](const std::function<void()>& handler) { gate.run(handler); };
  }
  std::string historyPath() const { return (dir / "history.jsonl").string(); }
};

}  // namespace kelvak::testing
