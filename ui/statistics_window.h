// The statistics window, bound to its presenter: a filter bar (text kind and period) over sections
// of its own: accuracy per check with the speed; each character's share received correctly with how
// often it was sent, and the most frequent confusions; the totals of each day.
#pragma once

#include <QDialog>
#include <functional>

#include "presenter/statistics_presenter.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace kelvak {

class StatisticsWindow : public QDialog, private StatisticsView {
  Q_OBJECT

 public:
  explicit StatisticsWindow(HistoryKeeper& history, QWidget* parent = nullptr);

  // Reads the history again and redraws everything.
  void reload();
  // Reads the history, then shows the window without blocking or brings it to the front.
  void showInFront();

  const Progress& progress() const { return presenter_.progress(); }

  // The filter bar.
  QComboBox* sourceFilter = nullptr;  // every text kind, then digits, letters, mixture, file
  QComboBox* periodFilter = nullptr;  // all time, the last 7 days, today
  QLabel* noteLabel = nullptr;        // how many checks, over which days, and any damage
  // The sections, one a tab; more may be added.
  QTabWidget* sections = nullptr;
  QChartView* accuracyView = nullptr;
  QChartView* charsView = nullptr;
  QListWidget* confusionList = nullptr;
  QTableWidget* daysTable = nullptr;
  // Takes the last check out of the history, after a confirmation.
  QPushButton* removeLastButton = nullptr;
  QLabel* removedLabel = nullptr;  // what was removed, or why not

  // Asked before a check is removed: true to remove it. A question box unless replaced (tests).
  std::function<bool(const QString& question)> confirmRemoval;
  // What the window decides; its checkRemoved tells the course of a check taken back.
  StatisticsPresenter& presenter() { return presenter_; }

 private:
  void showNote(const std::string& note) override;
  void showAccuracy(const AccuracyChart& chart) override;
  void showChars(const CharsChart& chart) override;
  void showConfusions(const std::vector<std::string>& lines) override;
  void showDays(const std::vector<DayRow>& rows) override;
  void enableRemoveLast(bool enabled) override;
  bool confirm(const std::string& question) override;
  void showRemoved(const std::string& text) override;

  StatisticsPresenter presenter_;
};

}  // namespace kelvak
