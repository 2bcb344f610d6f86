// The check window's behaviour: which text the copy is checked against, what the result shows in
// words and in rows, and what became of the record.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "training/check_source.h"
#include "training/copy_check.h"
#include "training/history.h"

namespace kelvak {

// One place of the result as a teacher marks a copy: the sent character above, and below it what
// was written ("–" for nothing); an extra character is "+" with itself below. A space stands for
// nothing drawn.
struct ResultCell {
  char32_t top = U' ';
  char32_t bottom = U' ';
  Mark mark = Mark::Correct;
  bool operator==(const ResultCell&) const = default;
};

// The result in rows of kGroupsPerRow groups of five, two empty places between groups, and every
// error in words, in text order.
struct ResultLayout {
  static constexpr int kGroupsPerRow = 8;
  std::vector<std::vector<ResultCell>> rows;
  std::string errorsText;  // empty when nothing is shown
};
ResultLayout layOutResult(const CheckResult& result);

// Everything the check window shows of a check; all empty before one.
struct CheckShown {
  ResultLayout result;
  std::string summary;      // the figures, or why nothing was checked
  std::string notes;        // the characters missed and extra, and Latin letters read as Russian
  std::string historyNote;  // what became of the record
};

// What the check window's controls show and ask.
class CheckView {
 public:
  virtual ~CheckView() = default;
  // Another text to check against, after the last transmission and the keys before it; `detail`
  // is its full path, for a tooltip.
  virtual void addAgainstItem(const std::string& text, const std::string& detail) = 0;
  // 0: the last transmission; k: the k-th key read.
  virtual void selectAgainst(int index) = 0;
  virtual std::string copyText() const = 0;
  virtual void showCheck(const CheckShown& shown) = 0;
  // Asks for an answer key, starting in `folder` (empty: anywhere); nothing when the learner
  // cancelled.
  virtual std::optional<std::string> chooseKeyFile(const std::string& folder) = 0;
  // A check went into the history.
  virtual void checkRecorded() {}
};

class CheckPresenter {
 public:
  // Runs an event handler, reporting what it throws (the window's error gate).
  using Dispatch = std::function<void(const std::function<void()>&)>;

  // `source` is asked at every check against the last transmission; every first check of a
  // transmission or a key goes into `history`. Events run through `dispatch`.
  CheckPresenter(CheckView& view, const History& history, std::function<CheckSource()> source,
                 Dispatch dispatch);

  // --- the learner's events ---
  void checkClicked();
  void openKeyClicked();
  // Another text to check against was chosen: the result shown is not of it.
  void againstChanged(int index);

  // --- the rest of the program's ---
  // Compares the typed copy with the chosen text, shows the result and records it.
  void check();
  // A new transmission began: the result shown belongs to an earlier one, so it goes, and the
  // check is against the transmission again.
  void transmissionStarted();
  // Reads an answer key (UTF-8 text) and makes it the text to check against, recorded with
  // `settings`. Throws KelvakError when the file cannot be read.
  void useKey(const std::string& keyPath, const RecordSettings& settings);
  // The check recorded at `time` was taken out of the history.
  void checkRemoved(std::int64_t time) { recorder_.removed(time); }

  // The last result shown.
  const CheckResult& result() const { return result_; }

  // The settings a key file read from disk is recorded with.
  std::function<RecordSettings(const std::string& keyPath)> keySettings;
  // Told of every check that went into the history, with the record's time; what it returns is
  // said beside the record.
  std::function<std::string(const CheckResult&, const CheckSource&, std::int64_t time)> afterRecord;

 private:
  struct Key {
    std::string path;
    CheckSource source;
  };
  void clearResult();
  void select(int against);
  // Records the check shown and says what became of the record.
  void record(const CheckSource& source);

  CheckView& view_;
  const History& history_;
  CheckRecorder recorder_;
  std::function<CheckSource()> source_;
  Dispatch dispatch_;
  std::vector<Key> keys_;  // the keys read, in the order of the items after the first
  int against_ = 0;
  std::uint32_t keysRead_ = 0;
  CheckResult result_;
  CheckShown shown_;
};

}  // namespace kelvak
