// The learning modes in the statistics window: three labels bound to the summary's texts.
#include "ui/learning_summary.h"

#include <QLabel>
#include <QVBoxLayout>

#include "presenter/learning_summary.h"

namespace kelvak {

LearningSummary::LearningSummary(QWidget* parent)
    : QGroupBox(QString::fromUtf8("Курс и слабые знаки"), parent) {
  setObjectName("LearningSummary");
  courseLabel = new QLabel;
  courseLabel->setObjectName("CourseSummary");
  weightsLabel = new QLabel;
  weightsLabel->setObjectName("WeightsSummary");
  drillLabel = new QLabel;
  drillLabel->setObjectName("DrillSummary");
  auto* layout = new QVBoxLayout(this);
  for (QLabel* l : {courseLabel, weightsLabel, drillLabel}) {
    l->setWordWrap(true);
    layout->addWidget(l);
  }
}

void LearningSummary::refresh(const LearningPath& path, const HistorySummary& history, int textKind,
                              bool specialSigns) {
  const LearningSummaryTexts texts = learningSummary(path, history, textKind, specialSigns);
  courseLabel->setText(QString::fromStdString(texts.course));
  weightsLabel->setText(QString::fromStdString(texts.weights));
  drillLabel->setText(QString::fromStdString(texts.drills));
}

}  // namespace kelvak
