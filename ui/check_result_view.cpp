// Drawing the check's result: only the rows in sight are painted, so a check of 999 groups shows
// at once.
#include "ui/check_result_view.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include "ui/focus_frame.h"

namespace kelvak {

namespace {

const QColor kCorrectColour(20, 110, 20);
const QColor kErrorColour(190, 0, 0);
const QColor kExtraColour(160, 90, 0);
constexpr int kMargin = 6;  // [px]

QString text(char32_t c) { return QString::fromUcs4(&c, 1); }

}  // namespace

CheckResultView::CheckResultView(QWidget* parent) : QAbstractScrollArea(parent) {
  font_.setFamilies({"DejaVu Sans Mono", "Liberation Mono", "Courier New"});
  font_.setStyleHint(QFont::TypeWriter);
  font_.setPixelSize(15);
  errorFont_ = font_;
  errorFont_.setBold(true);
  errorFont_.setUnderline(true);
  viewport()->setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::StrongFocus);  // the keys scroll it
  setAccessibleName(QString::fromUtf8("Результат проверки"));
}

void CheckResultView::showResult(const ResultLayout& layout) {
  rows_ = layout.rows;
  setAccessibleDescription(QString::fromStdString(layout.errorsText));
  updateScrollBar();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
}

int CheckResultView::rowHeight() const { return QFontMetrics(font_).height() * 2 + 8; }

void CheckResultView::updateScrollBar() {
  const int total = static_cast<int>(rows_.size()) * rowHeight() + 2 * kMargin;
  verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setSingleStep(rowHeight());
  std::size_t widest = 0;
  for (const auto& row : rows_) widest = std::max(widest, row.size());
  const int cell = QFontMetrics(font_).horizontalAdvance(QLatin1Char('0'));
  const int width = static_cast<int>(widest) * cell + 2 * kMargin;
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(cell * 5);
}

void CheckResultView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBar();
}

void CheckResultView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void CheckResultView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void CheckResultView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QFontMetrics metrics(font_);
  const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
  const int line = metrics.height();
  const int top = verticalScrollBar()->value();
  const int first = std::max(0, (top - kMargin) / rowHeight());
  for (int r = first; r < static_cast<int>(rows_.size()); ++r) {
    const int y = kMargin + r * rowHeight() - top;
    if (y > viewport()->height()) break;
    int x = kMargin - horizontalScrollBar()->value();
    for (const ResultCell& c : rows_[static_cast<std::size_t>(r)]) {
      const bool error = c.mark == Mark::Wrong || c.mark == Mark::Missed;
      p.setFont(error ? errorFont_ : font_);
      p.setPen(error ? kErrorColour : c.mark == Mark::Extra ? kExtraColour : kCorrectColour);
      if (c.top != U' ') p.drawText(QRect(x, y, cell, line), Qt::AlignCenter, text(c.top));
      if (c.bottom != U' ') {
        p.setFont(font_);
        p.drawText(QRect(x, y + line, cell, line), Qt::AlignCenter, text(c.bottom));
      }
      x += cell;
    }
  }
  if (hasFocus()) drawFocusFrame(p, viewport()->rect(), *this);
}

}  // namespace kelvak
