#pragma once
// The simulated machine's end of its line to korvane, whatever carries it: a pseudo-terminal or
// a TCP socket standing in for a serial device server.

#include <QByteArray>

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

}  // namespace korvane::cli
