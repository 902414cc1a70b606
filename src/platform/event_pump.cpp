#include "platform/event_pump.h"

#include <QCoreApplication>
#include <algorithm>

namespace korvane {

void QtEventPump::serveEvents() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void pauseMs(EventPump& pump, Clock& clock, int ms) {
  pump.serveEvents();
  const qint64 end = clock.nowMs() + std::max(ms, 0);
  for (qint64 left = end - clock.nowMs(); left > 0; left = end - clock.nowMs()) {
    clock.sleepMs(static_cast<int>(std::min<qint64>(left, kEventSliceMs)));
    pump.serveEvents();
  }
}

}  // namespace korvane
