// The learning modes in the statistics window, as plain lines of text.
#include "ui/learning_summary.h"

#include <QDateTime>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "synth/symbol_table.h"
#include "training/progress.h"
#include "training/weak_characters.h"

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
  if (textKind < 0 || textKind > 2) textKind = 1;
  const auto set = static_cast<CourseSet>(textKind);
  const CourseProgress& progress = path.progress();
  // The lessons over time: each step of this set with its date.
  QStringList steps;
  for (const CourseStep& s : progress.steps) {
    if (s.set != set) continue;
    steps << QString::fromUtf8("%1: урок %2")
                 .arg(QDateTime::fromSecsSinceEpoch(s.time).toString("dd.MM"))
                 .arg(s.lesson);
  }
  const int lesson = progress.lesson(set);
  QString course =
      QString::fromUtf8("Курс %1. ")
          .arg(progress.on ? QString::fromUtf8("включён") : QString::fromUtf8("выключен")) +
      QString::fromStdString(lessonText(set, specialSigns, lesson));
  if (!steps.isEmpty()) course += QString::fromUtf8(". Шаги: ") + steps.join(", ");
  // The accuracy of the lesson's characters over the whole history.
  const Progress summary = history.progress();
  QStringList shares;
  for (const int s : lessonSymbols(set, specialSigns, lesson)) {
    const char32_t ch = SymbolTable[static_cast<std::size_t>(s)].unicode;
    const auto it = std::find_if(summary.chars.begin(), summary.chars.end(),
                                 [ch](const CharShare& c) { return c.ch == ch; });
    shares << QString::fromStdString(displayUtf8(s)) + " " +
                  (it == summary.chars.end() ? QString::fromUtf8("—")
                                             : QString::number(it->share(), 'f', 0) + " %");
  }
  courseLabel->setText(course + QString::fromUtf8(".\nТочность знаков урока: ") +
                       shares.join(", "));

  auto list = path.weightList(textKind, specialSigns);
  if (list.empty()) {
    // Without a mode every character of the set weighs the same; the history still tells which
    // would sound most often with the weak characters on.
    LearningPath weak;
    weak.setWeakOn(true);
    weak.setTallies(history.recentTallies());
    list = weak.weightList(textKind, specialSigns);
  }
  QStringList heavy;
  for (const char32_t ch : heaviest(list, 5)) heavy << QString::fromUcs4(&ch, 1);
  weightsLabel->setText(
      QString::fromUtf8("%1чаще всего звучат: %2…")
          .arg(path.weakOn() ? QString() : QString::fromUtf8("Со слабыми знаками "))
          .arg(heavy.join(", ")));
  if (history.drills().empty()) {
    drillLabel->setText(QString::fromUtf8("Знак за знаком: занятий ещё не было."));
  } else {
    const DrillRecord& d = history.drills().back();
    drillLabel->setText(
        QString::fromUtf8("Знак за знаком: занятий %1; последнее — %2 знаков, верно %3 %, "
                          "медиана реакции %4 мс, скорость %5 → %6 гр/мин.")
            .arg(history.drills().size())
            .arg(d.sent)
            .arg(d.accuracyPercent(), 0, 'f', 0)
            .arg(d.medianReactionMs)
            .arg(d.startSpeed)
            .arg(d.endSpeed));
  }
}

}  // namespace kelvak
