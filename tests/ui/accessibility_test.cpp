// The main window through the accessibility interface a screen reader uses: every control has a
// name from its label, and sliders and fields report their values as the window shows them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QMessageBox>
#include <QSlider>
#include <QToolButton>

#include "tests/fakes/fakes.h"
#include "ui/main_window.h"
#include "ui_main_window.h"

namespace kelvak {
namespace {

class Accessibility : public ::testing::Test {
 protected:
  ErrorReport report{[](QMessageBox&) {}};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  TForm1 form{device, gate, &timer};

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
    ::testing::Values(Named{"TrackBar1", "Скорость (gr/min)"}, Named{"TrackBar2", "Сигнал, %"},
                      Named{"TrackBar3", "Помеха, %"}, Named{"TrackBar4", "Частота, Hz"},
                      Named{"Edit1", "Количество групп текста"},
                      Named{"Edit2", "Пауза (тире) между знаками"},
                      Named{"Edit3", "Пауза (тире) между группами"},
                      Named{"Memo1", "Отображение текста"}, Named{"PlayButton", "Play"},
                      Named{"CheckBox2", "Использовать спец. символы"},
                      Named{"RadioGroup1Item1", "Буквы"}),
    [](const auto& info) { return std::string(info.param.control); });

TEST_F(Accessibility, SlidersAnnounceTheValueTheirLabelShows) {
  struct Move {
    QSlider* slider;
    QLabel* label;
    int position;
    int announced;
  };
  const Move moves[] = {{form.ui().TrackBar1, form.ui().Label4, 20, 20},
                        {form.ui().TrackBar4, form.ui().Label13, 1200, 1200},
                        {form.ui().TrackBar2, form.ui().Label8, 64, 49},  // level = 127 - position
                        {form.ui().TrackBar3, form.ui().Label9, 0, 100}};
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
  for (QSlider* level : {form.ui().TrackBar2, form.ui().TrackBar3}) {
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
  form.ui().Edit2->setText("3");
  EXPECT_EQ(value(form.ui().Edit2), "3");
  EXPECT_EQ(value(form.ui().Edit1), "30");
  EXPECT_EQ(of(form.ui().Edit1)->text(QAccessible::Description), "Количество групп текста");
  const auto arrows = form.ui().UpDown3->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  for (QToolButton* arrow : arrows) {
    EXPECT_TRUE(name(arrow).startsWith(name(form.ui().Edit3))) << name(arrow).toStdString();
  }
  EXPECT_NE(name(arrows[0]), name(arrows[1]));
}

}  // namespace
}  // namespace kelvak
