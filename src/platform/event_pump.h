#pragma once
#include <atomic>

#include "platform/clock.h"

namespace korvane {

// Lets pending window events run. The engines call it at every wait point so the window stays
// alive and "中断" is seen; the command line and tests plug in their own.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void serveEvents() = 0;
};

class NullEventPump final : public EventPump {
 public:
  void serveEvents() override {}
};

// Runs the pending events of the Qt event loop of this thread.
class QtEventPump final : public EventPump {
 public:
  void serveEvents() override;
};

// How long one blocking wait may last before window events are served again. Short enough that
// the window repaints and an abort is seen without a noticeable delay, long enough that an idle
// wait costs next to no processor time.
inline constexpr int kEventSliceMs = 15;

// The shared wait step: serves pending events, then sleeps ms milliseconds, serving events
// every slice so the window stays responsive through long pauses.
void pauseMs(EventPump& pump, Clock& clock, int ms);
// The same, but it ends as soon as cancel is set (seen after every slice); false then.
bool pauseMs(EventPump& pump, Clock& clock, int ms, const std::atomic<bool>& cancel);

}  // namespace korvane
