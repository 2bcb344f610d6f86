// The statistics window's part on the learning modes: the course's lessons over time and the
// accuracy of the lesson's characters, the characters that sound most often, the drill sessions.
#pragma once

#include <QGroupBox>

#include "training/history_summary.h"
#include "training/learning_path.h"

class QLabel;

namespace kelvak {

class LearningSummary : public QGroupBox {
  Q_OBJECT

 public:
  explicit LearningSummary(QWidget* parent = nullptr);
  // Shows the modes for the window's text kind and special signs, with the history read.
  void refresh(const LearningPath& path, const HistorySummary& history, int textKind,
               bool specialSigns);

  QLabel* courseLabel = nullptr;
  QLabel* weightsLabel = nullptr;
  QLabel* drillLabel = nullptr;
};

}  // namespace kelvak
