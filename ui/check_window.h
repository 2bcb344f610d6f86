// The check window: the learner types what they received, and sees it against what was sent.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "training/check_source.h"
#include "training/copy_check.h"
#include "training/history.h"

class QComboBox;
class QFileDialog;
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
  // The settings a key file read from disk is recorded with.
  using KeySettings = std::function<RecordSettings(const std::string& keyPath)>;

  // `source` is asked at every check against the last transmission; every first check of a
  // transmission or a key goes into `history`. The buttons' handlers run through `dispatch`;
  // without one they run as they are.
  CheckWindow(const History& history, std::function<CheckSource()> source, Dispatch dispatch = {},
              QWidget* parent = nullptr);

  // Compares the typed copy with the chosen text, shows the result and records it.
  void check();
  // Shows the window without blocking, or brings it to the front when it is open already.
  void showInFront();
  // A new transmission began: the result shown belongs to an earlier one, so it goes, and the
  // check is against the transmission again.
  void transmissionStarted();
  // Reads an answer key (UTF-8 text) and makes it the text to check against, recorded with
  // `settings`. Throws KelvakError when the file cannot be read.
  void useKey(const std::string& keyPath, const RecordSettings& settings);
  // Asks for a key file with an open dialog and uses it with the settings `keySettings` gives.
  void openKey();

  void setKeySettings(KeySettings keySettings) { keySettings_ = std::move(keySettings); }
  void setFileDialogPresenter(std::function<bool(QFileDialog&)> present) {
    presentDialog_ = std::move(present);
  }

  // The last result shown, for tests.
  const CheckResult& result() const { return result_; }

  QComboBox* againstBox = nullptr;  // the last transmission, then the keys read
  QPushButton* openKeyButton = nullptr;
  QLineEdit* copyEdit = nullptr;
  QPushButton* checkButton = nullptr;
  CheckResultView* resultView = nullptr;
  QLabel* summaryLabel = nullptr;
  QLabel* missedLabel = nullptr;
  QLabel* historyLabel = nullptr;  // what became of the record

  // Told of every check that went into the history, with the record's time; what it returns is
  // shown beside the record.
  std::function<std::string(const CheckResult&, const CheckSource&, std::int64_t time)> afterRecord;
  // The check recorded at `time` was taken out of the history.
  void checkRemoved(std::int64_t time) { recorder_.removed(time); }

 signals:
  // A check went into the history.
  void recorded();

 private:
  struct Key {
    std::string path;
    CheckSource source;
  };
  void run(const std::function<void()>& handler);
  void clearResult();
  void record(const CheckSource& source);

  const History& history_;
  CheckRecorder recorder_;
  std::function<CheckSource()> source_;
  Dispatch dispatch_;
  KeySettings keySettings_;
  std::function<bool(QFileDialog&)> presentDialog_;
  std::vector<Key> keys_;  // the keys read, in the order of againstBox's items after the first
  std::uint32_t keysRead_ = 0;
  CheckResult result_;
};

}  // namespace kelvak
