// The course dialog: its controls bound to the course's presenter.
#include "ui/course_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/training_menu.h"
#include "ui/window_resources.h"

namespace kelvak {

CourseDialog::CourseDialog(TrainingMenu& menu, QWidget* parent)
    : QDialog(parent),
      presenter_(*this, {[&menu]() -> const CourseProgress& { return menu.learning().progress(); },
                         [&menu](bool on) { menu.setCourseOn(on); },
                         [&menu](int set, int lesson) { menu.chooseLesson(set, lesson); }}) {
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
  lessonCountLabel = new QLabel;
  auto* lessonRow = new QHBoxLayout;
  lessonRow->addWidget(lessonBox);
  lessonRow->addWidget(lessonCountLabel, 1);
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

  connect(onBox, &QCheckBox::toggled, this, [this](bool on) { presenter_.onToggled(on); });
  connect(setBox, &QComboBox::currentIndexChanged, this,
          [this](int set) { presenter_.setChosen(set); });
  connect(lessonBox, &QSpinBox::valueChanged, this,
          [this](int lesson) { presenter_.lessonChosen(lesson); });
}

void CourseDialog::showCourse(const CourseShown& shown) {
  onBox->setChecked(shown.on);
  setBox->setCurrentIndex(shown.set);
  lessonBox->setRange(1, shown.lessonCount);
  lessonBox->setValue(shown.lesson);
  lessonCountLabel->setText(QString::fromStdString(shown.lessonCountText));
  charsLabel->setText(QString::fromStdString(shown.characters));
  progressBar->setRange(0, shown.passedOf);
  progressBar->setValue(shown.passed);
  stepsLabel->setText(QString::fromStdString(shown.steps));
  ruleLabel->setText(QString::fromStdString(shown.rule));
}

void CourseDialog::showInFront() {
  show();
  raise();
  activateWindow();
}

}  // namespace kelvak
