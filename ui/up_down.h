// Small spin arrows that step a number and write it into a text field beside them.
#pragma once

#include <QWidget>
#include <cstdint>

class QLineEdit;
class QToolButton;

namespace kelvak {

// The field stays the source of truth: the program reads the field's text, and the user may type
// anything into it. The arrows only write numbers within their range. A click starts from the
// number the field shows when it holds a plain decimal, so typing 7 and clicking up gives 8; from
// the arrows' own position otherwise. They never wrap. The Up and Down keys in the field step too.
class UpDown : public QWidget {
  Q_OBJECT

 public:
  explicit UpDown(QWidget* parent = nullptr);

  // The field the position is written into; null for none.
  void setAssociate(QLineEdit* field);

  // The range and position hold 16-bit signed values, like the field they stand beside.
  int min() const { return min_; }
  int max() const { return max_; }
  int position() const { return position_; }
  void setMin(int value);
  // Narrowing the range keeps the position inside it; the field keeps what it shows.
  void setMax(int value);
  // Writes the position, kept within the range, into the field, also when it did not change.
  void setPosition(int value);

  // One step up (+1) or down (-1), as a click on an arrow.
  void step(int delta);

  QSize sizeHint() const override;

 signals:
  void positionChanged(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int clamp(int value) const;

  QToolButton* up_;
  QToolButton* down_;
  QLineEdit* field_ = nullptr;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

}  // namespace kelvak
