#pragma once
// The simulated machine's end of its line to korvane, whatever carries it: a pseudo-terminal or
// a TCP socket standing in for a serial device server.

#include <QByteArray>
#include <cmath>
#include <ctime>

namespace korvane::cli {

class MachineLine {
 public:
  virtual ~MachineLine() = default;
  // Every byte that is waiting, without blocking.
  virtual QByteArray readAvailable() = 0;
  // Writes what it can without blocking; the number of bytes written.
  virtual int write(const QByteArray& bytes) = 0;
  // Bytes written that korvane has not taken yet.
  virtual int unreadBySlave() const = 0;
  // Waits until input is waiting (or output is possible, when wantWrite), timeoutMs passes
  // (negative: no limit) or SIGINT/SIGTERM arrives. Fractions of a millisecond count.
  virtual void wait(double timeoutMs, bool wantWrite) = 0;
};

// The time limit of a wait as ppoll takes it: nullptr for no limit (timeoutMs negative), else
// `limit` filled with the time, fractions of a millisecond included.
inline const timespec* waitLimit(double timeoutMs, timespec& limit) {
  if (timeoutMs < 0) return nullptr;
  const double ns = std::ceil(timeoutMs * 1e6);
  limit.tv_sec = time_t(ns / 1e9);
  limit.tv_nsec = long(ns - double(limit.tv_sec) * 1e9);
  return &limit;
}

}  // namespace korvane::cli
