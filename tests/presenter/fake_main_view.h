// The main window as its presenter sees it, with plain values, and an error report that keeps
// what it was given.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "presenter/error_gate.h"
#include "presenter/main_view.h"
#include "tests/fakes/fakes.h"

namespace kelvak::testing {

// The window's controls as values, and what the window was asked to show.
struct FakeMainView : FakeControlsOf<MainView> {
  std::map<SoundSetting, int> labels;
  std::string detail, learning, learningDetail;
  std::optional<std::string> nextTextFile, nextSoundFile;
  bool cancelExport = false, pressF10 = false;
  int quits = 0, abouts = 0, helps = 0, follows = 0;

  void setStatusText(const std::string& utf8) override {
    FakeControlsOf::setStatusText(utf8);
    detail.clear();
  }
  // --- MainView ---
  void setUpSetting(Setting setting, int, int high, int position) override {
    switch (setting) {
      case Setting::Groups:
        groupCountMax = high;
        setGroupCount(position);
        break;
      case Setting::Speed:
        speedValue = position;
        break;
      case Setting::Tone:
        freq = position;
        break;
      case Setting::Signal:
        signal = position;
        break;
      case Setting::Noise:
        noise = position;
        break;
      case Setting::CharPause:
        charPause = std::to_string(position);
        break;
      case Setting::GroupPause:
        groupPause = std::to_string(position);
        break;
    }
  }
  void showSettingValue(SoundSetting slider, int value) override { labels[slider] = value; }
  void setStatusText(const std::string& utf8, const std::string& d) override {
    FakeControlsOf::setStatusText(utf8);
    detail = d;
  }
  void setLearningStatus(const std::string& utf8, const std::string& d) override {
    learning = utf8;
    learningDetail = d;
  }
  // The window's radio buttons tell of a new text kind as the user's click would.
  std::function<void()> kindToggled;
  void chooseTextKind(int k) override {
    if (k == kind) return;
    kind = k;
    if (kindToggled) kindToggled();
  }
  void chooseSpeed(int s) override { speedValue = s; }
  void showSettings(const KeptSettings& s) override {
    chooseTextKind(s.textKind);
    speedValue = s.speed;
    freq = s.frequency;
    signal = s.signalPosition;
    noise = s.noisePosition;
    setGroupCount(s.groups);
    charPause = std::to_string(s.charPause);
    groupPause = std::to_string(s.groupPause);
    longZeroChecked = s.longZero;
    signsChecked = s.specialSigns;
  }
  int groupCountLimit() const override { return groupCountMax; }
  std::optional<std::string> chooseTextFile() override { return nextTextFile; }
  std::optional<std::string> chooseSoundFile(const std::string&) override { return nextSoundFile; }
  ExportRun runExport(const std::string&, const ExportWork& work) override {
    ExportRun run;
    run.quit = pressF10;
    try {
      run.completed = work([this](std::int64_t, std::int64_t) { return !cancelExport; });
    } catch (...) {
      run.failure = std::current_exception();
    }
    return run;
  }
  void showAbout() override { ++abouts; }
  void showHelp() override { ++helps; }
  void quit() override { ++quits; }
  void followSoundIn(int) override { ++follows; }
};

struct Reports : ErrorReporter {
  std::vector<std::string> texts;
  void showErrorReport(const std::string& text) override { texts.push_back(text); }
};

}  // namespace kelvak::testing
