// The check's result drawn as a teacher marks a copy: the sent text in groups, every error bold
// and underlined, and beneath it what was written ("–" for nothing); an extra character shows as
// "+" with the character beneath. Colours only repeat what the marks say. A row longer than the
// view scrolls sideways; a screen reader hears the errors as text.
#pragma once

#include <QAbstractScrollArea>
#include <vector>

#include "presenter/check_presenter.h"

namespace kelvak {

class CheckResultView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CheckResultView(QWidget* parent = nullptr);

  // Draws the result laid out, from its first row; an empty layout clears the view. The errors in
  // words are the view's accessible description.
  void showResult(const ResultLayout& layout);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void updateScrollBar();
  int rowHeight() const;

  std::vector<std::vector<ResultCell>> rows_;
  QFont font_;
  QFont errorFont_;
};

}  // namespace kelvak
