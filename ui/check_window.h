// The check window: the learner types what they received, and sees it against what was sent.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "training/check_source.h"
#include "training/copy_check.h"
#include "training/history.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvak {

class CheckResultView;

class CheckWindow : public QDialog {
  Q_OBJECT

 public:
  // Runs an event handler, reporting what it throws (the window's error gate).
  using Dispatch = std::function<void(const std::function<void()>&)>;

  // `source` is asked at every check; every first check of a transmission goes into `history`.
  // The check button's handler runs through `dispatch`; without one it runs as it is.
  CheckWindow(const History& history, std::function<CheckSource()> source, Dispatch dispatch = {},
              QWidget* parent = nullptr);

  // Compares the typed copy with the last transmission, shows the result and records it.
  void check();
  // Shows the window without blocking, or brings it to the front when it is open already.
  void showInFront();

  // The last result shown, for tests.
  const CheckResult& result() const { return result_; }

  QLineEdit* copyEdit = nullptr;
  QPushButton* checkButton = nullptr;
  CheckResultView* resultView = nullptr;
  QLabel* summaryLabel = nullptr;
  QLabel* missedLabel = nullptr;
  QLabel* historyLabel = nullptr;  // what became of the record

  // Told of every check that went into the history; what it returns is shown beside the record.
  std::function<std::string(const CheckResult&, const CheckSource&)> afterRecord;

 private:
  void record(const CheckSource& source);

  const History& history_;
  CheckRecorder recorder_;
  std::function<CheckSource()> source_;
  Dispatch dispatch_;
  CheckResult result_;
};

}  // namespace kelvak
