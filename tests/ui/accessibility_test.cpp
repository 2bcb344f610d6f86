// The main window through the accessibility interface a screen reader uses: every control has a
// name from its label, and sliders and fields report their values as the window shows them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QMessageBox>
#include <QSlider>
#include <QToolButton>

#include "tests/fakes/fakes.h"
#include "tests/ui/find_control.h"
#include "ui/main_window.h"

namespace kelvak {
namespace {

using testing::control;

class Accessibility : public ::testing::Test {
 protected:
  ErrorReport report{[](QMessageBox&) {}};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  MainWindow form{device, gate, &timer};

  static QAccessibleInterface* of(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }
  static QString name(QWidget* w) { return of(w)->text(QAccessible::Name); }
  static QString value(QWidget* w) { return of(w)->text(QAccessible::Value); }
};

TEST_F(Accessibility, EveryControlHasAName) {
  const QList<QAccessible::Role> controls = {
      QAccessible::Slider,   QAccessible::EditableText, QAccessible::PushButton,
      QAccessible::CheckBox, QAccessible::RadioButton,  QAccessible::ProgressBar,
      QAccessible::Grouping, QAccessible::SpinBox,      QAccessible::ButtonMenu};
  int checked = 0;
  for (QWidget* w : form.centralWidget()->findChildren<QWidget*>()) {
    QAccessibleInterface* a = of(w);
    if (!a || !controls.contains(a->role())) continue;
    ++checked;
    EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
        << w->objectName().toStdString() << " (" << w->metaObject()->className() << ")";
  }
  EXPECT_GE(checked, 20);  // sliders, fields, arrows, buttons, check boxes, radio items
}

struct Named {
  const char* control;
  const char* name;
};

class AccessibleName : public Accessibility, public ::testing::WithParamInterface<Named> {};

TEST_P(AccessibleName, ComesFromTheControlsLabel) {
  auto* w = form.findChild<QWidget*>(GetParam().control);
  ASSERT_TRUE(w);
  EXPECT_EQ(name(w), QString::fromUtf8(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, AccessibleName,
    ::testing::Values(Named{"speedSlider", "Скорость (gr/min)"}, Named{"signalSlider", "Сигнал, %"},
                      Named{"noiseSlider", "Помеха, %"}, Named{"toneSlider", "Частота, Hz"},
                      Named{"groupCountEdit", "Количество групп текста"},
                      Named{"charPauseEdit", "Пауза (тире) между знаками"},
                      Named{"groupPauseEdit", "Пауза (тире) между группами"},
                      Named{"textPane", "Отображение текста"}, Named{"PlayButton", "Play"},
                      Named{"specialSignsBox", "Использовать спец. символы"},
                      Named{"lettersButton", "Буквы"}),
    [](const auto& info) { return std::string(info.param.control); });

TEST_F(Accessibility, SlidersAnnounceTheValueTheirLabelShows) {
  struct Move {
    QSlider* slider;
    QLabel* label;
    int position;
    int announced;
  };
  const Move moves[] = {
      {control<QSlider>(form, "speedSlider"), control<QLabel>(form, "speedValue"), 20, 20},
      {control<QSlider>(form, "toneSlider"), control<QLabel>(form, "toneValue"), 1200, 1200},
      {control<QSlider>(form, "signalSlider"), control<QLabel>(form, "signalValue"), 64,
       49},  // level = 127 - position
      {control<QSlider>(form, "noiseSlider"), control<QLabel>(form, "noiseValue"), 0, 100}};
  for (const Move& m : moves) {
    m.slider->setValue(m.position);
    QAccessibleValueInterface* v = of(m.slider)->valueInterface();
    ASSERT_TRUE(v) << m.slider->objectName().toStdString();
    EXPECT_EQ(v->currentValue().toInt(), m.announced) << m.slider->objectName().toStdString();
    EXPECT_EQ(value(m.slider), m.label->text()) << m.slider->objectName().toStdString();
    EXPECT_FALSE(of(m.slider)->text(QAccessible::Description).isEmpty());
  }
}

TEST_F(Accessibility, ALevelSetByTheScreenReaderShowsThatPercentage) {
  for (QSlider* level :
       {control<QSlider>(form, "signalSlider"), control<QSlider>(form, "noiseSlider")}) {
    QAccessibleValueInterface* v = of(level)->valueInterface();
    EXPECT_EQ(v->minimumValue().toInt(), 0);
    EXPECT_EQ(v->maximumValue().toInt(), 100);
    for (int percent : {0, 1, 49, 50, 99, 100}) {
      v->setCurrentValue(percent);
      EXPECT_EQ(v->currentValue().toInt(), percent);
      EXPECT_EQ(level->value(), 127 - static_cast<int>(std::ceil(percent * 127 / 100.0)));
    }
  }
}

TEST_F(Accessibility, FieldsAnnounceTheirTextAndArrowsTheirField) {
  control<QLineEdit>(form, "charPauseEdit")->setText("3");
  EXPECT_EQ(value(control<QLineEdit>(form, "charPauseEdit")), "3");
  EXPECT_EQ(value(control<QLineEdit>(form, "groupCountEdit")), "30");
  EXPECT_EQ(of(control<QLineEdit>(form, "groupCountEdit"))->text(QAccessible::Description),
            "Количество групп текста");
  const auto arrows = control<UpDown>(form, "groupPauseArrows")->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  for (QToolButton* arrow : arrows) {
    EXPECT_TRUE(name(arrow).startsWith(name(control<QLineEdit>(form, "groupPauseEdit"))))
        << name(arrow).toStdString();
  }
  EXPECT_NE(name(arrows[0]), name(arrows[1]));
}

}  // namespace
}  // namespace kelvak
