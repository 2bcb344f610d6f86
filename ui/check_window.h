// The check window: the learner types what they received, and sees it against what was sent.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "presenter/check_presenter.h"

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvak {

class CheckResultView;

class CheckWindow : public QDialog, private CheckView {
  Q_OBJECT
  CheckPresenter presenter_;  // first: afterRecord below is its member

 public:
  using Dispatch = CheckPresenter::Dispatch;

  // `source` is asked at every check against the last transmission; every first check of a
  // transmission or a key goes into `history`. The buttons' handlers run through `dispatch`;
  // without one they run as they are.
  CheckWindow(const History& history, std::function<CheckSource()> source, Dispatch dispatch = {},
              QWidget* parent = nullptr);

  void check() { presenter_.check(); }
  // Shows the window without blocking, or brings it to the front when it is open already.
  void showInFront();
  void transmissionStarted() { presenter_.transmissionStarted(); }
  // Throws KelvakError when the file cannot be read.
  void useKey(const std::string& keyPath, const RecordSettings& settings) {
    presenter_.useKey(keyPath, settings);
  }
  void setKeySettings(decltype(CheckPresenter::keySettings) keySettings) {
    presenter_.keySettings = std::move(keySettings);
  }
  void setFileDialogPresenter(std::function<bool(QFileDialog&)> present) {
    presentDialog_ = std::move(present);
  }
  void checkRemoved(std::int64_t time) { presenter_.checkRemoved(time); }

  // The last result shown, for tests.
  const CheckResult& result() const { return presenter_.result(); }

  QComboBox* againstBox = nullptr;  // the last transmission, then the keys read
  QPushButton* openKeyButton = nullptr;
  QLineEdit* copyEdit = nullptr;
  QPushButton* checkButton = nullptr;
  CheckResultView* resultView = nullptr;
  QLabel* summaryLabel = nullptr;
  QLabel* notesLabel = nullptr;
  QLabel* historyLabel = nullptr;  // what became of the record

  // Told of every check that went into the history; what it returns is shown beside the record.
  decltype(CheckPresenter::afterRecord)& afterRecord = presenter_.afterRecord;

 signals:
  // A check went into the history.
  void recorded();

 private:
  void checkRecorded() override { emit recorded(); }
  void addAgainstItem(const std::string& text, const std::string& detail) override;
  void selectAgainst(int index) override;
  std::string copyText() const override;
  void showCheck(const CheckShown& shown) override;
  std::optional<std::string> chooseKeyFile(const std::string& folder) override;

  std::function<bool(QFileDialog&)> presentDialog_;
};

}  // namespace kelvak
