// The statistics window on the Windows API: the filters, the two charts drawn with GDI, the
// confusions, the days and taking the last check back, over the statistics presenter.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "presenter/statistics_presenter.h"
#include "win32/frame.h"

namespace kelvak::win32 {

class StatisticsWindow : private StatisticsView {
 public:
  StatisticsWindow(HWND owner, HistoryKeeper& history);
  ~StatisticsWindow() override;
  StatisticsPresenter& presenter() { return presenter_; }
  void showInFront();
  bool visible() const { return frame_.visible(); }
  // The learning modes' part below the window's own.
  void showSummary(const std::string& text);

  // The charts' drawing, for their child windows.
  static LRESULT CALLBACK chartProcedure(HWND window, UINT message, WPARAM w, LPARAM l);

 private:
  void showNote(const std::string& note) override;
  void showAccuracy(const AccuracyChart& chart) override;
  void showChars(const CharsChart& chart) override;
  void showConfusions(const std::vector<std::string>& lines) override;
  void showDays(const std::vector<DayRow>& rows) override;
  void enableRemoveLast(bool enabled) override;
  bool confirm(const std::string& question) override;
  void showRemoved(const std::string& text) override;

  void showPage(int page);
  void paintAccuracy(HDC dc, const RECT& area) const;
  void paintChars(HDC dc, const RECT& area) const;

  // Made by the frame's controls, before it: first.
  HWND accuracyView_ = nullptr, charsView_ = nullptr;
  Frame frame_;
  StatisticsPresenter presenter_;
  AccuracyChart accuracy_;
  CharsChart chars_;
};

}  // namespace kelvak::win32
