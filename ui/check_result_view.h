// The check's result drawn as a teacher marks a copy: the sent text in groups, every error bold
// and underlined, and beneath it what was written ("–" for nothing); an extra character shows as
// "+" with the character beneath. Colours only repeat what the marks say. A row longer than the
// view scrolls sideways; a screen reader hears the errors as text.
#pragma once

#include <QAbstractScrollArea>
#include <QStringList>
#include <vector>

#include "training/copy_check.h"

namespace kelvak {

class CheckResultView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kGroupsPerRow = 8;

  explicit CheckResultView(QWidget* parent = nullptr);

  void setResult(const CheckResult& result);
  void clear();

  // Every row as two lines, the sent text above and the marks below, as drawn.
  QStringList rowTexts() const;
  // Every error in words, in text order: where, what was sent and what was written. The view's
  // accessible description.
  QString errorsText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  struct Cell {
    char32_t top = U' ';
    char32_t bottom = U' ';
    Mark mark = Mark::Correct;
  };
  void updateScrollBar();
  int rowHeight() const;

  std::vector<std::vector<Cell>> rows_;
  QString errorsText_;
  QFont font_;
  QFont errorFont_;
};

}  // namespace kelvak
