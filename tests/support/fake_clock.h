#pragma once
#include <algorithm>
#include <functional>
#include <map>

#include "platform/clock.h"

namespace korvane::test {

// Virtual time: sleeping advances it at once, so the fixed pauses of a job cost nothing.
// Actions scheduled at a time run when the clock passes it (a DC1 from the machine, an abort).
class FakeClock final : public Clock {
 public:
  qint64 nowMs() const override { return now_; }
  void sleepMs(int ms) override { advance(ms); }

  void advance(qint64 ms) {
    const qint64 target = now_ + (ms > 0 ? ms : 0);
    while (!actions_.empty() && actions_.begin()->first <= target) {
      auto node = actions_.extract(actions_.begin());
      now_ = std::max(now_, node.key());
      node.mapped()();
    }
    now_ = target;
  }
  void at(qint64 ms, std::function<void()> action) { actions_.emplace(ms, std::move(action)); }
  qint64 sleptMs() const { return now_; }

 private:
  qint64 now_ = 0;
  std::multimap<qint64, std::function<void()>> actions_;
};

}  // namespace korvane::test
