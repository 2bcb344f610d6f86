// The statistics window: accuracy per check with the speed, each character's share received
// correctly, and the most frequent confusions, from the history of checks.
#pragma once

#include <QDialog>

#include "training/history.h"
#include "training/progress.h"

class QChart;
class QChartView;
class QLabel;
class QListWidget;

namespace kelvak {

class StatisticsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit StatisticsWindow(const History& history, QWidget* parent = nullptr);

  // Reads the history again and redraws everything.
  void reload();
  // Reads the history, then shows the window without blocking or brings it to the front.
  void showInFront();

  const Progress& progress() const { return progress_; }

  QLabel* noteLabel = nullptr;  // how many checks, over which days, and any damage
  QChartView* accuracyView = nullptr;
  QChartView* charsView = nullptr;
  QListWidget* confusionList = nullptr;

 private:
  void drawAccuracy();
  void drawChars();

  const History& history_;
  Progress progress_;
};

}  // namespace kelvak
