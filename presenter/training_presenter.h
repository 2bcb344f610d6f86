// What the training menu decides: the course and the weak characters, what a check and a removed
// check do to the course, the lesson shown beside the status bar, the settings a key is recorded
// with and a new random sequence. The menu's windows show what it asks through TrainingView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "playback/settings.h"
#include "presenter/error_gate.h"
#include "presenter/training_host.h"
#include "training/check_record.h"
#include "training/check_source.h"
#include "training/course_progress.h"
#include "training/history.h"
#include "training/history_keeper.h"
#include "training/learning_path.h"

namespace kelvak {

// What the training menu's windows are told.
class TrainingView {
 public:
  virtual ~TrainingView() = default;
  // The learning modes changed: an open course dialog and learning summary show them anew.
  virtual void learningChanged(int textKind, bool specialSigns) = 0;
  // The weak characters' and the hidden text's menu items show `on`.
  virtual void setWeakTicked(bool on) = 0;
  virtual void setHideTicked(bool on) = 0;
  // A transmission began (also one that failed to): the check window starts a new check.
  virtual void transmissionStarted() = 0;
  // An answer key was written: the check window offers it at once.
  virtual void keyExported(const ExportedKey& key) = 0;
  // A check recorded at `time` left the history: the check window forgets it was recorded.
  virtual void checkRemoved(std::int64_t time) = 0;
  // The history was read whole (off the window's thread): an open statistics window shows it.
  virtual void historyRead() = 0;
};

// The drill's start: the characters to drill with their weights, the text kind and the speed.
struct DrillStart {
  std::vector<std::pair<int, std::uint32_t>> weights;
  TextSource source = TextSource::Digits;
  int speed = 0;
};

class TrainingPresenter {
 public:
  // Reads the course file beside the history and sets the window's weighting and watches; what
  // cannot be read is reported through `gate`. The history is read whole on a thread of its own,
  // whose result `post` hands to the window's thread. Must not outlive `host`.
  TrainingPresenter(TrainingHost& host, TrainingView& view, ErrorGate& gate,
                    const std::string& historyPath, HistoryKeeper::Post post);
  ~TrainingPresenter();
  TrainingPresenter(const TrainingPresenter&) = delete;
  TrainingPresenter& operator=(const TrainingPresenter&) = delete;

  History& history() { return history_; }
  // What the statistics and the weak characters read of the history.
  HistoryKeeper& keeper() { return keeper_; }
  const LearningPath& learning() const { return learning_; }

  // --- the menu's commands ---
  void setCourseOn(bool on);
  void setWeakOn(bool on);
  void chooseLesson(int set, int lesson);
  void hideTextChanged(bool hidden);
  bool textHidden() const { return textHidden_; }
  // "Новая последовательность": the generator starts from the clock.
  void newSequenceRequested();
  // The drill is about to open: a transmission that is open ends.
  void drillRequested();

  // --- what the windows ask ---
  // What the last transmission sent, for a check.
  CheckSource checkSource() const;
  // The settings a key is recorded with: those of its export in this run, or the window's.
  RecordSettings keySettings(const std::string& keyPath) const;
  // After a check went into the history: the course may move on. What to tell the learner.
  std::string afterCheck(const CheckResult& result, const CheckSource& source, std::int64_t time);
  // A check taken out of the history: the course's step it made goes back. What to tell.
  std::string checkRemoved(const CheckRecord& removed);
  DrillStart drillStart() const;
  void chooseSpeed(int speed) { host_.chooseSpeed(speed); }
  int textKind() const { return host_.textKind(); }
  bool specialSigns() const { return host_.specialSigns(); }

 private:
  void loadLearning();
  void textKindChanged();
  void reloadHistory();
  // The history was read whole: the modes and the windows show it.
  void historyRead();
  // Changes the course in the file under its lock and takes what the file then holds; a change
  // that cannot be written holds in memory, and either is reported, never thrown.
  void changeCourse(const std::function<void(CourseProgress&)>& change);
  // The status bar's lesson text and the open windows, after any change of the modes.
  void learningChanged();

  TrainingHost& host_;
  TrainingView& view_;
  ErrorGate& gate_;
  History history_;
  HistoryKeeper keeper_;
  CourseFile courseFile_;
  LearningPath learning_;
  std::vector<ExportedKey> exported_;  // the keys written in this run
  bool textHidden_ = false;
};

}  // namespace kelvak
