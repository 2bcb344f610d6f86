// A keyboard focus that can be seen: the style's own mark is a faint line many users miss.
#pragma once

class QPainter;
class QRect;
class QWidget;

namespace kelvak {

// Draws the widget's focus as a frame two pixels wide in the highlight colour. The widget keeps
// the application's style for everything else.
void showFocusClearly(QWidget& widget);

// The same frame, for a widget that paints itself: drawn just inside `rect`.
void drawFocusFrame(QPainter& painter, const QRect& rect, const QWidget& widget);

}  // namespace kelvak
