#include "platform/event_pump.h"

#include <QCoreApplication>
#include <algorithm>

namespace korvane {

void QtEventPump::serveEvents() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void pauseMs(EventPump& pump, Clock& clock, int ms) {
  const std::atomic<bool> never{false};
  pauseMs(pump, clock, ms, never);
}

bool pauseMs(EventPump& pump, Clock& clock, int ms, const std::atomic<bool>& cancel) {
  pump.serveEvents();
  const qint64 end = clock.nowMs() + std::max(ms, 0);
  for (qint64 left = end - clock.nowMs(); left > 0; left = end - clock.nowMs()) {
    if (cancel.load()) return false;
    clock.sleepMs(static_cast<int>(std::min<qint64>(left, kEventSliceMs)));
    pump.serveEvents();
  }
  return !cancel.load();
}

}  // namespace korvane
