#pragma once
#include <QtGlobal>

namespace korvane {

// Monotonic time and sleeping, replaced by a fake in tests so fixed pauses cost nothing.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual qint64 nowMs() const = 0;
  virtual void sleepMs(int ms) = 0;
};

class SteadyClock final : public Clock {
 public:
  qint64 nowMs() const override;
  void sleepMs(int ms) override;
};

}  // namespace korvane
