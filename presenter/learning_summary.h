// What the statistics window says of the learning modes: the course's lessons over time and the
// accuracy of the lesson's characters, the characters that sound most often, the drill sessions.
#pragma once

#include <string>

#include "training/history_summary.h"
#include "training/learning_path.h"

namespace kelvak {

struct LearningSummaryTexts {
  std::string course;
  std::string weights;
  std::string drills;
};

// The modes for the window's text kind and special signs, with the history read.
LearningSummaryTexts learningSummary(const LearningPath& path, const HistorySummary& history,
                                     int textKind, bool specialSigns);

}  // namespace kelvak
