// The POSIX serial port's output: the slices it gives the line and the waits between them
// (see line_pacer.h), and the short gathering of input after a wait.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial/posix_port_time.h"
#include "platform/serial/posix_serial_port.h"

namespace korvane {

using namespace posix_port;

// Gives the line what it may take now: an emulated line a slice (or less, when less is waiting
// and it fits), a UART's driver what keeps its queue within its bound. Without `anyAmount`, a
// UART's driver that already holds something gets nothing until a slice has gathered, so that
// a paced sender writes once for a slice, not once for each byte.
void PosixSerialPort::flushOutput(bool anyAmount) {
  if (fd_ < 0 || failure_ || outQueue_.isEmpty()) return;
  qsizetype allowed = 0;
  if (virtualLine_) {
    allowed = emulated_.sliceNow(outQueue_.size(), nowUs());
  } else {
    // The first byte after a pause goes at once (a DC1, a request's answer); the driver is asked
    // what it holds then, and again only when what it was known to have room for is used up.
    const bool gathering = outQueue_.size() > 1 && outQueue_.size() < driverPacing_.slice();
    if (!anyAmount && gathering) return;
    if (driverRoom_ <= 0 || anyAmount || outQueue_.size() == 1) driverRoom_ = driverPacing_.room(driverQueued());
    allowed = std::min<qsizetype>(outQueue_.size(), driverRoom_);
  }
  qsizetype written = 0;
  while (written < allowed) {
    const ssize_t n = ::write(fd_, outQueue_.constData() + written, static_cast<size_t>(allowed - written));
    if (n > 0) {
      written += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) noteError(errno);
    break;
  }
  if (virtualLine_) emulated_.carried(written, nowUs());
  else driverPacing_.wrote(written);
  driverRoom_ = std::max<qsizetype>(0, driverRoom_ - written);
  outQueue_.remove(0, written);
}

bool PosixSerialPort::output(quint8 byte) {
  if (fd_ < 0 || failure_ || outQueue_.size() >= kOutputLimit) return false;
  if (highBitFlow()) pumpInput();
  const bool sevenBitPty = frames_.mode() == ReceivedFrames::Mode::SevenBitPty;
  outQueue_.append(static_cast<char>(sevenBitPty ? withParityBit(byte, line_.parity) : byte));
  // On an emulated line a byte that finds others waiting found no room a moment ago; it is
  // looked at again when a slice has gathered.
  if (!virtualLine_ || outQueue_.size() == 1 || outQueue_.size() >= kPacedSliceChars) flushOutput(false);
  return !failure_;
}

int PosixSerialPort::outBufferCount() {
  if (fd_ < 0) return 0;
  if (highBitFlow()) pumpInput();
  flushOutput(true);
  return static_cast<int>(outQueue_.size()) + driverQueued();
}

int PosixSerialPort::outputRoom() {
  if (fd_ < 0 || failure_) return 1;  // output() then tells the caller
  if (highBitFlow()) pumpInput();
  const int slice = virtualLine_ ? kPacedSliceChars : driverPacing_.slice();
  return static_cast<int>(std::max<qsizetype>(0, slice - outQueue_.size()));
}

// A machine punching at the line rate writes one character at a time; waking for each would
// cost a reception a wake-up per character. Once input has come after a wait, what follows it
// for a slice of the line is gathered and taken in the same wake-up.
void PosixSerialPort::gatherInput(qint64 deadlineMs) {
  pauseToGatherInput(deadlineMs);
  emptyReadAtUs_ = -1;
}

// Sleeps until the line needs more (an emulated line its next slice, a UART's driver room for
// one) or the far end's DC1/DC3 arrives, then gives it what it may take.
void PosixSerialPort::waitForOutput(int timeoutMs) {
  if (fd_ < 0 || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  if (highBitFlow()) pumpInput();
  const qsizetype before = outQueue_.size();
  flushOutput(true);
  if (outQueue_.size() < before) return;
  int queued = virtualLine_ ? 0 : driverQueued();
  const int queuedBefore = queued;
  while (!failure_) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    const bool flowHere = highBitFlow();
    qint64 us = qint64(left) * 1000;
    short events = flowHere ? POLLIN : 0;
    if (virtualLine_) {
      if (outQueue_.isEmpty()) return;  // a pseudo-terminal holds nothing of its own
      const qint64 untilSlice = emulated_.usUntilSlice(outQueue_.size(), nowUs());
      // Room on the emulated line that a write could not use: the terminal is stopped (the far
      // end's DC3 through the driver's IXON) and says when it can take bytes again.
      if (untilSlice == 0) events |= POLLOUT;
      else us = std::min(us, untilSlice);
    } else {
      if (outQueue_.isEmpty() && queued <= 0) return;
      us = std::min(us, driverPacing_.nextLookUs(queued, outQueue_.size()));
    }
    const timespec timeout{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
    pollfd entry{fd_, events, 0};
    if (::ppoll(&entry, 1, &timeout, nullptr) < 0) return;  // a signal: let the caller look up
    // A wait that watched the input and ended without any has just read nothing, as it were.
    if (entry.revents & POLLIN) emptyReadAtUs_ = -1;
    else if (events & POLLIN) emptyReadAtUs_ = nowUs();
    if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      recordLoss(entry.revents & POLLHUP ? QStringLiteral("the device hung up") : osText(EIO));
      return;
    }
    if ((entry.revents & POLLIN) && flowHere) pumpInput();
    flushOutput(true);
    if (outQueue_.size() < before) return;
    if (!virtualLine_) {
      queued = driverQueued();
      if (outQueue_.isEmpty() && queued < queuedBefore) return;
    } else if ((events & POLLOUT) && !(entry.revents & POLLOUT) && !(entry.revents & POLLIN)) {
      return;  // the wait timed out
    } else if ((entry.revents & POLLOUT) && outQueue_.size() >= before) {
      sleepMs(std::min(left, kDrainStepMs));  // writable, yet the write took nothing: never spin
    }
  }
}

}  // namespace korvane
