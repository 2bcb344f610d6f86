// Accessible names and values of the main window's controls, taken from the window's own labels.
#include "ui/accessible_names.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "settings/setting_table.h"
#include "ui/up_down.h"
#include "ui_main_window.h"

namespace kelvak {

namespace {

// The property that ties a level slider to the label showing its level in percent.
constexpr char kLevelLabel[] = "kelvakLevelLabel";

// A level slider as a screen reader sees it: its value is the level in percent, 0..100, as its
// label shows it, and setting a value moves the slider to the position that shows that level.
class LevelSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit LevelSliderAccessible(QSlider* slider)
      : QAccessibleWidget(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return label()->text();
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return label()->text().toInt(); }
  void setCurrentValue(const QVariant& value) override {
    slider()->setValue(positionForPercent(std::clamp(value.toInt(), 0, 100)));
  }
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  QSlider* slider() const { return static_cast<QSlider*>(widget()); }
  QLabel* label() const { return slider()->property(kLevelLabel).value<QLabel*>(); }
};

QAccessibleInterface* levelSliderFactory(const QString& /*className*/, QObject* object) {
  auto* slider = qobject_cast<QSlider*>(object);
  if (slider && slider->property(kLevelLabel).value<QLabel*>()) {
    return new LevelSliderAccessible(slider);
  }
  return nullptr;
}

// Names a field and its spin arrows.
void nameField(QLineEdit* field, kelvak::UpDown* arrows, const QString& name) {
  field->setAccessibleName(name);
  for (QToolButton* arrow : arrows->findChildren<QToolButton*>()) {
    const bool up = arrow->arrowType() == Qt::UpArrow;
    arrow->setAccessibleName(name + (up ? ": больше" : ": меньше"));
  }
}

}  // namespace

void nameControlsForScreenReaders(const Ui::MainWindow& form) {
  static const bool installed = [] {
    QAccessible::installFactory(levelSliderFactory);
    return true;
  }();
  (void)installed;

  for (auto [slider, label] :
       {std::pair{form.signalSlider, form.signalValue}, {form.noiseSlider, form.noiseValue}}) {
    slider->setProperty(kLevelLabel, QVariant::fromValue(label));
    // Building the window may have made the slider's plain interface already; Qt keeps it until
    // told otherwise, and the level one takes its place at the next question.
    if (QAccessibleInterface* plain = QAccessible::queryAccessibleInterface(slider)) {
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(plain));
    }
  }
  form.speedSlider->setAccessibleName(form.speedCaption->text());
  form.signalSlider->setAccessibleName(form.signalCaption->text());
  form.noiseSlider->setAccessibleName(form.noiseCaption->text());
  form.toneSlider->setAccessibleName(form.toneCaption->text());

  nameField(form.groupCountEdit, form.groupCountArrows, form.groupCountCaption->text());
  // "Пауза (тире)" stands above both pause fields, each with its own label.
  nameField(form.charPauseEdit, form.charPauseArrows,
            form.pauseCaption->text() + " " + form.charPauseCaption->text());
  nameField(form.groupPauseEdit, form.groupPauseArrows,
            form.pauseCaption->text() + " " + form.groupPauseCaption->text());
  form.textPane->setAccessibleName(form.textPane->toolTip());
  form.progressBar->setAccessibleName("Ход передачи");
}

}  // namespace kelvak
