// The course dialog: a thin view of the learning path.
#include "ui/course_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "synth/symbol_table.h"
#include "training/course.h"
#include "ui/training_menu.h"
#include "ui/window_resources.h"

namespace kelvak {

namespace {

QString charsText(const std::vector<int>& symbols) {
  QStringList parts;
  for (const int s : symbols) parts << QString::fromStdString(displayUtf8(s));
  return parts.join(' ');
}

}  // namespace

CourseDialog::CourseDialog(TrainingMenu& menu, QWidget* parent) : QDialog(parent), menu_(menu) {
  setObjectName("CourseDialog");
  setWindowTitle(QString::fromUtf8("Курс"));
  onBox = new QCheckBox(QString::fromUtf8("&Курс включён: Play передаёт урок"));
  onBox->setObjectName("CourseOn");
  setBox = new QComboBox;
  setBox->setObjectName("CourseSet");
  setBox->addItems(
      {QString::fromUtf8("Цифры"), QString::fromUtf8("Буквы"), QString::fromUtf8("Смесь")});
  lessonBox = new QSpinBox;
  lessonBox->setObjectName("CourseLesson");
  lessonOf = new QLabel;
  auto* lessonRow = new QHBoxLayout;
  lessonRow->addWidget(lessonBox);
  lessonRow->addWidget(lessonOf, 1);
  charsLabel = new QLabel;
  charsLabel->setObjectName("CourseChars");
  charsLabel->setWordWrap(true);
  progressBar = new QProgressBar;
  progressBar->setObjectName("CourseProgress");
  progressBar->setFormat(QString::fromUtf8("%v из %m знаков"));
  stepsLabel = new QLabel;
  stepsLabel->setObjectName("CourseSteps");
  stepsLabel->setWordWrap(true);
  ruleLabel = new QLabel;
  ruleLabel->setObjectName("CourseRule");
  ruleLabel->setWordWrap(true);

  auto* form = new QFormLayout;
  auto* setLabel = new QLabel(QString::fromUtf8("&Набор:"));
  setLabel->setBuddy(setBox);
  form->addRow(setLabel, setBox);
  auto* lessonLabel = new QLabel(QString::fromUtf8("&Урок:"));
  lessonLabel->setBuddy(lessonBox);
  form->addRow(lessonLabel, lessonRow);
  form->addRow(QString::fromUtf8("Знаки:"), charsLabel);
  form->addRow(QString::fromUtf8("Пройдено:"), progressBar);
  form->addRow(QString::fromUtf8("Шаги:"), stepsLabel);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(onBox);
  layout->addLayout(form);
  layout->addWidget(ruleLabel);
  layout->addWidget(buttons);
  setMinimumWidth(440);
  quitWithF10(*this);

  connect(onBox, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) menu_.setCourseOn(on);
  });
  connect(setBox, &QComboBox::currentIndexChanged, this, [this](int set) {
    if (!filling_) menu_.chooseLesson(set, menu_.learning().progress().lessons[set]);
  });
  connect(lessonBox, &QSpinBox::valueChanged, this, [this](int lesson) {
    if (!filling_) menu_.chooseLesson(setBox->currentIndex(), lesson);
  });
}

void CourseDialog::refresh(int set, bool specialSigns) {
  if (set < 0 || set > 2) set = 1;
  filling_ = true;
  const auto course = static_cast<CourseSet>(set);
  const CourseProgress& progress = menu_.learning().progress();
  const int count = lessonCount(course, specialSigns);
  const int lesson = clampLesson(course, specialSigns, progress.lesson(course));
  onBox->setChecked(progress.on);
  setBox->setCurrentIndex(set);
  lessonBox->setRange(1, count);
  lessonBox->setValue(lesson);
  lessonOf->setText(QString::fromUtf8("из %1").arg(count));
  const std::vector<int> symbols = lessonSymbols(course, specialSigns, lesson);
  // The first lesson brings its two characters in at once, equally often.
  charsLabel->setText(
      lesson == 1
          ? QString::fromUtf8("%1 (оба новые, звучат поровну)").arg(charsText(symbols))
          : QString::fromUtf8("%1 (новый: %2)")
                .arg(charsText(symbols), QString::fromStdString(displayUtf8(symbols.back()))));
  progressBar->setRange(0, count + 1);
  progressBar->setValue(static_cast<int>(symbols.size()));

  QStringList steps;
  for (auto it = progress.steps.rbegin(); it != progress.steps.rend() && steps.size() < 4; ++it) {
    if (it->set != course) continue;
    steps << QString::fromUtf8("%1 — урок %2")
                 .arg(QDateTime::fromSecsSinceEpoch(it->time).toString("dd.MM.yyyy hh:mm"))
                 .arg(it->lesson);
  }
  stepsLabel->setText(steps.isEmpty() ? QString::fromUtf8("ещё ни одного") : steps.join('\n'));
  QString rule = QString::fromUtf8(
                     "Следующий урок открывается, когда проверка урока из %1 знаков и больше "
                     "принята на %2 % и больше.")
                     .arg(kUnlockMinSent)
                     .arg(kUnlockAccuracy);
  if (lesson < count) {
    rule += QString::fromUtf8(" Следующий знак: %1.")
                .arg(QString::fromStdString(
                    displayUtf8(newestSymbol(course, specialSigns, lesson + 1))));
  } else {
    rule += QString::fromUtf8(" Это последний урок набора.");
  }
  ruleLabel->setText(rule);
  filling_ = false;
}

void CourseDialog::showInFront() {
  show();
  raise();
  activateWindow();
}

}  // namespace kelvak
