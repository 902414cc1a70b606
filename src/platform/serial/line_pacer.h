#pragma once
// How far output may run ahead of the serial line, and when to wake to give it more.
//
// A control stops reading within a few characters of its DC3 and expects the sender to stop as
// soon: a Fanuc-style reader allows 10. What korvane has let onto the line (or onto a link that
// delivers at once, a pseudo-terminal or a connection to a device server) before it sees the DC3
// arrives after it, so output is let through in slices: each wake-up gives the line the
// characters it carries until the next one, never so many that more than the allowance could be
// under way when a DC3 is written. Between slices the sender sleeps until the line needs more,
// instead of waking for each byte.

#include <QtGlobal>

#include <algorithm>

namespace korvane {

// Characters that may be under way beyond what the line has carried. Two less than the 10 a
// reader allows after its DC3: one for the character being sent as the DC3 leaves the reader,
// one for the time it takes the DC3 to reach the sending process.
inline constexpr int kPacedAheadChars = 8;
// A wake-up comes while this many characters are still under way, so that the line does not
// go idle for the time the sleeper takes to wake.
inline constexpr int kPacedReserveChars = 2;
// What one wake-up gives an emulated line.
inline constexpr int kPacedSliceChars = kPacedAheadChars - kPacedReserveChars;

// After input has woken a wait, how long the port gathers what follows before it hands the
// input over: a reception then wakes once for a few milliseconds of the line, not for each
// character, and a reply to the machine is late by no more than this.
inline constexpr qint64 kInputGatherUs = 8000;

// Behind a device server a DC3 reaches korvane later than on a local line: the server gathers
// the machine's data before it forwards it (ser2net's chardelay), the more so the less often
// korvane's data wakes it. Less is let under way there and in smaller slices, so that the
// reader's allowance still holds: five characters, two at a wake-up (with ser2net 4.3 in front
// of a reader at 38400 baud: at most 10 after a DC3, where slices of four let 12 through).
inline constexpr int kNetworkAheadChars = 5;
inline constexpr int kNetworkReserveChars = 3;

// The line of a link that moves bytes at once: when the characters given to it would have left
// a UART at the line rate. Times in microseconds on the caller's monotonic clock.
class EmulatedLine {
 public:
  void reset(qint64 charUs, int ahead = kPacedAheadChars, int reserve = kPacedReserveChars) {
    charUs_ = std::max<qint64>(1, charUs);
    freeAtUs_ = 0;
    ahead_ = std::max(2, ahead);
    slice_ = std::clamp(ahead_ - reserve, 1, ahead_);
  }
  qint64 charUs() const { return charUs_; }
  // What one wake-up gives the line.
  int slice() const { return slice_; }
  // Characters given and not yet carried, counting one that is partly sent as whole.
  qint64 backlog(qint64 nowUs) const { return (std::max<qint64>(0, freeAtUs_ - nowUs) + charUs_ - 1) / charUs_; }
  // Characters that may be given now.
  int room(qint64 nowUs) const { return int(std::max<qint64>(0, ahead_ - backlog(nowUs))); }
  // A slice of waiting output (of `waiting` characters) goes only when all of it, or a whole
  // slice, fits: smaller pieces would cost a wake-up each.
  int sliceNow(qint64 waiting, qint64 nowUs) const {
    const int fits = room(nowUs);
    return fits >= std::min<qint64>(waiting, slice_) ? int(std::min<qint64>(waiting, fits)) : 0;
  }
  // Microseconds until a slice of `waiting` characters goes, by sliceNow.
  qint64 usUntilSlice(qint64 waiting, qint64 nowUs) const {
    const qint64 need = std::min<qint64>(waiting, slice_);
    return std::max<qint64>(0, freeAtUs_ - (ahead_ - need) * charUs_ - nowUs);
  }
  qint64 usUntilIdle(qint64 nowUs) const { return std::max<qint64>(0, freeAtUs_ - nowUs); }
  void carried(qint64 count, qint64 nowUs) { freeAtUs_ = std::max(freeAtUs_, nowUs) + count * charUs_; }

 private:
  qint64 charUs_ = 1;
  qint64 freeAtUs_ = 0;
  int ahead_ = kPacedAheadChars;
  int slice_ = kPacedSliceChars;
};

// A UART's driver paces the line itself and holds its queue on the far end's DC3 (IXON, or a
// stop asked for on our side). Its queue is kept short, about 20 ms of the line, so that what
// it holds when the job ends or is aborted is small; it gives no wake-up when it drains, so the
// sender sleeps for the time the line takes to carry half of it.
class DriverQueuePacing {
 public:
  void reset(qint64 charUs) {
    charUs_ = std::max<qint64>(1, charUs);
    limit_ = int(std::clamp<qint64>(20'000 / charUs_, 16, 256));
    lastQueued_ = -1;
    writtenSinceLook_ = 0;
    idleLooks_ = 0;
  }
  // The most characters the driver is given to hold.
  int limit() const { return limit_; }
  // The characters the sender gathers before it writes them: half the queue.
  int slice() const { return limit_ / 2; }
  // Characters that may be written while the driver holds `queued`.
  int room(int queued) const { return std::max(0, limit_ - queued); }
  // After a look that found `queued` characters in the driver with `waiting` more to write: how
  // long to sleep before the next. By the line rate until there is room for a slice; when the
  // queue did not move since the last look (the far end holds the line), twice as long each
  // time, up to 20 ms, so that a held line costs almost nothing and a DC1 is followed soon.
  // With nothing waiting, the next look is when the queue should have drained.
  qint64 nextLookUs(int queued, qint64 waiting) {
    const qint64 free = std::min<qint64>(waiting, slice());
    qint64 us = std::max<qint64>(1, waiting > 0 ? queued - (limit_ - free) : queued) * charUs_;
    const bool moved = lastQueued_ < 0 || queued < lastQueued_ + writtenSinceLook_;
    writtenSinceLook_ = 0;
    if (!moved && queued > 0) {
      idleLooks_ = std::min(idleLooks_ + 1, 8);
      us = std::max(us, charUs_ << idleLooks_);
    } else {
      idleLooks_ = 0;
    }
    lastQueued_ = queued;
    return std::min<qint64>(us, 20'000);
  }
  // Characters given to the driver since the last look.
  void wrote(qint64 count) { writtenSinceLook_ += count; }

 private:
  qint64 charUs_ = 1;
  int limit_ = 16;
  int lastQueued_ = -1;
  qint64 writtenSinceLook_ = 0;
  int idleLooks_ = 0;
};

}  // namespace korvane
