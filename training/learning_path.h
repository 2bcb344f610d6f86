// The learning modes together: the course and the practice of weak characters decide the weights
// the transmission's draw picks from; with both off there are none and nothing changes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "playback/symbol_weights.h"
#include "playback/text_source.h"
#include "training/course_progress.h"
#include "training/weak_characters.h"

namespace kelvak {

class LearningPath {
 public:
  const CourseProgress& progress() const { return progress_; }
  void setProgress(const CourseProgress& progress);
  void setCourseOn(bool on);
  bool courseOn() const { return progress_.on; }
  // The set the learner chose for the course, kept for the next start.
  void setCourseSet(CourseSet set) { progress_.set = set; }
  // Chooses a lesson by hand (brought within the set's lessons), noting the step.
  void chooseLesson(CourseSet set, bool specialSigns, int lesson, std::int64_t time);

  void setWeakOn(bool on);
  bool weakOn() const { return weakOn_; }
  // The checks the weak characters are weighed by, in time order.
  void setHistory(const std::vector<CheckRecord>& records);
  // The same, from the characters' latest sendings (recentTallies()).
  void setTallies(std::map<char32_t, RecentTally> tallies);

  // The symbols and weights for the window's text kind and special signs; empty with both modes
  // off or with a text kind outside 0..2.
  std::vector<std::pair<int, std::uint32_t>> weightList(int textKind, bool specialSigns) const;
  // The same as a weighted choice, kept until a mode, the lesson or the history changes: the
  // transmission asks at every tick. Null with both modes off.
  std::shared_ptr<const SymbolWeights> weightsFor(const SymbolChoice& choice);

  // After a check of `sentText`: when it unlocks the next lesson of the course, moves there and
  // returns it.
  std::optional<int> afterCheck(CourseSet set, bool specialSigns, std::int32_t sent,
                                double accuracyPercent, const std::u32string& sentText,
                                std::int64_t time);

 private:
  void forget() { cache_.clear(); }

  CourseProgress progress_;
  bool weakOn_ = false;
  std::map<char32_t, RecentTally> tallies_;
  std::map<std::pair<int, bool>, std::shared_ptr<const SymbolWeights>> cache_;
};

// "Урок 3 из 30: к м у р" and the like: what Play sends while the course is on.
std::string lessonText(CourseSet set, bool specialSigns, int lesson);

}  // namespace kelvak
