// Spin arrows for the main window's number fields.
#include "ui/up_down.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <limits>
#include <optional>

namespace kelvak {

namespace {

constexpr int kRepeatDelay = 400;     // [ms] before a held arrow starts repeating
constexpr int kRepeatInterval = 100;  // [ms] between repeated steps

std::int16_t to16(int value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned>(value)));
}

// The number a field shows when it is a plain decimal that fits 16 bits.
std::optional<int> plainDecimal(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok || value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return value;
}

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow) {
  auto* b = new QToolButton(parent);
  b->setArrowType(arrow);
  b->setFocusPolicy(Qt::NoFocus);
  b->setAutoRepeat(true);
  b->setAutoRepeatDelay(kRepeatDelay);
  b->setAutoRepeatInterval(kRepeatInterval);
  return b;
}

}  // namespace

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  up_ = makeArrow(this, Qt::UpArrow);
  down_ = makeArrow(this, Qt::DownArrow);
  up_->setObjectName("up");
  down_->setObjectName("down");
  connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setAssociate(QLineEdit* field) {
  if (field_) field_->removeEventFilter(this);
  field_ = field;
  if (field_) field_->installEventFilter(this);
}

int UpDown::clamp(int value) const {
  if (value < min_) return min_;
  if (value > max_) return max_;
  return value;
}

void UpDown::setMin(int value) {
  min_ = to16(value);
  if (max_ < min_) max_ = min_;
  position_ = clamp(position_);
}

void UpDown::setMax(int value) {
  max_ = to16(value);
  if (min_ > max_) min_ = max_;
  position_ = clamp(position_);
}

void UpDown::setPosition(int value) {
  position_ = clamp(to16(value));
  if (field_) field_->setText(QString::number(position_));
  emit positionChanged(position_);
}

void UpDown::step(int delta) {
  int from = position_;
  if (field_) {
    if (const auto shown = plainDecimal(field_->text())) from = clamp(*shown);
  }
  setPosition(clamp(from + delta));
}

QSize UpDown::sizeHint() const { return {15, 21}; }

void UpDown::resizeEvent(QResizeEvent*) {
  // The upper arrow takes the extra pixel of an odd height, as the field's own arrows do.
  const int upper = (height() + 1) / 2;
  up_->setGeometry(0, 0, width(), upper);
  down_->setGeometry(0, upper, width(), height() - upper);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && event->type() == QEvent::KeyPress && isEnabled()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Up) {
        step(+1);
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        step(-1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kelvak
