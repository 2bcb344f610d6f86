// Precise QTimer behind the transmission's timer interface.
#include "ui/qt_timer.h"

namespace kelvak {

QtTimer::QtTimer(std::function<void()> onTick, QObject* parent)
    : QObject(parent), BeatTimer(std::move(onTick)) {
  timer_.setTimerType(Qt::PreciseTimer);
  // One shot per tick, each aimed at the beat.
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { fire(); });
}

}  // namespace kelvak
