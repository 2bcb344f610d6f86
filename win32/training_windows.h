// The training menu's windows on the Windows API: the check, the course and the drill, each a thin
// view over its presenter.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "presenter/check_presenter.h"
#include "presenter/course_presenter.h"
#include "presenter/drill_presenter.h"
#include "win32/frame.h"

namespace kelvak::win32 {

class CheckWindow : private CheckView {
 public:
  CheckWindow(HWND owner, const History& history, std::function<CheckSource()> source,
              CheckPresenter::Dispatch dispatch);
  ~CheckWindow() override;
  CheckPresenter& presenter() { return presenter_; }
  void showInFront();
  // Told of every check that went into the history.
  std::function<void()> recorded;
  // The result's rows, drawn and scrolled.
  static LRESULT CALLBACK resultProcedure(HWND window, UINT message, WPARAM w, LPARAM l);

 private:
  void addAgainstItem(const std::string& text, const std::string& detail) override;
  void selectAgainst(int index) override;
  std::string copyText() const override;
  void showCheck(const CheckShown& shown) override;
  std::optional<std::string> chooseKeyFile(const std::string& folder) override;
  void checkRecorded() override {
    if (recorded) recorded();
  }
  void paintResult(HDC dc, const RECT& area) const;

  HWND result_ = nullptr;  // made with the frame's controls, before it: first
  Frame frame_;
  CheckPresenter presenter_;
  HFONT mono_ = nullptr, monoError_ = nullptr;
  ResultLayout layout_;
  int scroll_ = 0;  // [px] the result scrolled down
};

class CourseDialog : private CourseView {
 public:
  CourseDialog(HWND owner, CourseActions actions);
  ~CourseDialog() override = default;
  void refresh(int set, bool specialSigns) { presenter_.refresh(set, specialSigns); }
  void showInFront() { frame_.showInFront(); }
  bool visible() const { return frame_.visible(); }

 private:
  void showCourse(const CourseShown& shown) override;

  Frame frame_;
  CoursePresenter presenter_;
  bool filling_ = false;  // the controls are being set from the course
};

class DrillWindow : private DrillView {
 public:
  DrillWindow(HWND owner, DrillSound sound, const History& history,
              std::function<DrillPresenter::Start()> start, std::function<void(int)> setSpeed,
              DrillPresenter::Dispatch dispatch);
  ~DrillWindow() override;
  void showInFront() { frame_.showInFront(); }

 private:
  void showDrill(const DrillShown& shown) override;
  void after(int ms, std::function<void()> then) override;

  HFONT big_ = nullptr;  // made with the frame's controls, before it: first
  Frame frame_;
  DrillPresenter presenter_;
  bool typedRight_ = true;
  UINT_PTR nextTimer_ = 1;
  std::map<UINT_PTR, std::function<void()>> timers_;
};

}  // namespace kelvak::win32
