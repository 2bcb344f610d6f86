// The clear focus frame: a proxy of the application's style that draws only the focus its own way.
#include "ui/focus_frame.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

namespace kelvak {

namespace {

class FocusFrameStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_FrameFocusRect && widget) {
      drawFocusFrame(*painter, widget->rect(), *widget);
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    QProxyStyle::drawControl(element, option, painter, widget);
    // Some styles mark a focused button only by its colour.
    if (element == CE_PushButton && widget && (option->state & State_HasFocus)) {
      drawFocusFrame(*painter, widget->rect(), *widget);
    }
  }
};

}  // namespace

void drawFocusFrame(QPainter& painter, const QRect& rect, const QWidget& widget) {
  painter.save();
  QPen pen(widget.palette().color(QPalette::Highlight));
  pen.setWidth(2);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(1, 1, -1, -1));
  painter.restore();
}

void showFocusClearly(QWidget& widget) {
  auto* style = new FocusFrameStyle;
  style->setParent(&widget);
  widget.setStyle(style);
}

}  // namespace kelvak
