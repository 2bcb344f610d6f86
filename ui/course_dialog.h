// "Курс...": the set, the lesson, the characters so far and the progress; the course on or off.
#pragma once

#include <QDialog>

#include "presenter/course_presenter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSpinBox;

namespace kelvak {

class TrainingMenu;

class CourseDialog : public QDialog, private CourseView {
  Q_OBJECT

 public:
  // Every change goes to `menu` at once; the dialog shows what the menu's learning path holds.
  CourseDialog(TrainingMenu& menu, QWidget* parent = nullptr);

  // Shows the course of this set (the window's text kind) and special signs.
  void refresh(int set, bool specialSigns) { presenter_.refresh(set, specialSigns); }
  void showInFront();

  QCheckBox* onBox = nullptr;
  QComboBox* setBox = nullptr;
  QSpinBox* lessonBox = nullptr;
  QLabel* lessonCountLabel = nullptr;
  QLabel* charsLabel = nullptr;
  QProgressBar* progressBar = nullptr;
  QLabel* stepsLabel = nullptr;
  QLabel* ruleLabel = nullptr;

 private:
  void showCourse(const CourseShown& shown) override;

  CoursePresenter presenter_;
};

}  // namespace kelvak
