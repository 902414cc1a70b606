#pragma once
// What the POSIX ports share (the serial port's files, the device-server port): bounds, the
// clock, waits that never spin.

#include <QString>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/serial/line_pacer.h"

namespace korvane::posix_port {

// Output accepted ahead of the driver. A paced sender gives a slice at a time, so this only
// bounds a caller that keeps writing while the line is held.
inline constexpr qsizetype kOutputLimit = 64 * 1024;
// Input read ahead of the caller. Beyond it the driver's buffer fills and its own flow control
// (IXOFF, RTS) throttles the far end.
inline constexpr qsizetype kInputLimit = 64 * 1024;
// Step of the wait for the driver's queue: it gives no wake-up when it drains.
inline constexpr int kDrainStepMs = 2;

inline qint64 nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline qint64 nowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// An empty read is not repeated within this time. Every wait of the port watches for input, so
// what arrives in between is read when the next wait starts, at most a fraction of a character's
// time later; a paced send, which looks at the port several times for each byte, no longer asks
// the driver for input each time.
inline constexpr qint64 kEmptyReadRecheckUs = 100;

inline int msLeft(qint64 deadline) { return static_cast<int>(std::clamp<qint64>(deadline - nowMs(), 0, 1 << 30)); }

// Sleeps without a busy loop; a signal ends the sleep early, as it ends every wait of the port.
inline void sleepMs(int ms) {
  if (ms > 0) ::poll(nullptr, 0, ms);
}

// After input has woken a wait: a pause in which what follows the first character arrives, to
// be taken in the same wake-up (kInputGatherUs, no longer than the deadline allows).
inline void pauseToGatherInput(qint64 deadlineMs) {
  const qint64 us = std::min<qint64>(kInputGatherUs, qint64(msLeft(deadlineMs)) * 1000);
  if (us <= 0) return;
  const timespec pause{0, static_cast<long>(us) * 1000};
  ::ppoll(nullptr, 0, &pause, nullptr);
}

inline QString osText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

inline bool isLossError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

}  // namespace korvane::posix_port
