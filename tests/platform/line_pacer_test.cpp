// The pacing of output in slices, run against models of the line in simulated time: an emulated
// line given what sliceNow allows at the wake-ups usUntilSlice asks for, and a UART whose driver
// queue drains at the line rate and stops on the far end's DC3. What a machinist would notice
// is checked: the line never waits while data does, a DC3 finds few characters under way, a held
// line costs few wake-ups and a DC1 is followed at once.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/serial/line_pacer.h"

using namespace korvane;

namespace {

constexpr qint64 kCharUs = 286;  // 38400 baud, 11 bits a character

struct EmulatedRun {
  qint64 wakeUps = 0;
  qint64 idleUsWhileWaiting = 0;
  qint64 maxBacklog = 0;
};

// Sends `total` characters through an emulated line, waking exactly when it asks to (plus a
// scheduling delay each time), with the sender's queue always topped up to a slice.
EmulatedRun sendEmulated(qint64 total, qint64 lateUs) {
  EmulatedLine line;
  line.reset(kCharUs);
  EmulatedRun run;
  qint64 now = 0;
  qint64 given = 0;
  qint64 lineBusyUntil = 0;
  while (given < total) {
    const qint64 waiting = std::min<qint64>(kPacedSliceChars, total - given);
    const int n = line.sliceNow(waiting, now);
    if (n > 0) {
      if (now > lineBusyUntil && given > 0) run.idleUsWhileWaiting += now - lineBusyUntil;
      line.carried(n, now);
      lineBusyUntil = std::max(lineBusyUntil, now) + n * kCharUs;
      given += n;
      run.maxBacklog = std::max(run.maxBacklog, line.backlog(now));
      continue;
    }
    now += line.usUntilSlice(waiting, now) + lateUs;
    ++run.wakeUps;
  }
  return run;
}

}  // namespace

TEST(EmulatedLine, SlicesKeepTheLineBusyWithFewWakeUpsAndLittleUnderWay) {
  const EmulatedRun onTime = sendEmulated(10'000, 1);
  EXPECT_EQ(onTime.idleUsWhileWaiting, 0);
  EXPECT_LE(onTime.maxBacklog, kPacedAheadChars);
  EXPECT_LE(onTime.wakeUps, 10'000 / kPacedSliceChars + 2) << "one wake-up a slice, not one a byte";
  // A sleeper that wakes late by less than the reserve still never lets the line wait.
  const EmulatedRun late = sendEmulated(10'000, kCharUs * kPacedReserveChars - 10);
  EXPECT_EQ(late.idleUsWhileWaiting, 0);
  EXPECT_LE(late.maxBacklog, kPacedAheadChars);
}

TEST(EmulatedLine, ASliceGoesWholeOrWhenLessIsWaiting) {
  EmulatedLine line;
  line.reset(kCharUs);
  EXPECT_EQ(line.sliceNow(100, 0), kPacedAheadChars);  // an idle line takes all it may
  line.carried(kPacedAheadChars, 0);
  EXPECT_EQ(line.sliceNow(100, 0), 0);
  EXPECT_EQ(line.usUntilSlice(100, 0), kPacedSliceChars * kCharUs);
  EXPECT_EQ(line.sliceNow(100, kPacedSliceChars * kCharUs), kPacedSliceChars);
  EXPECT_EQ(line.sliceNow(1, kCharUs), 1) << "a last byte does not wait for a slice";
  EXPECT_EQ(line.usUntilIdle(kCharUs), (kPacedAheadChars - 1) * kCharUs);
}

namespace {

// A UART's driver: its queue drains one character per character time unless the far end holds
// the line.
struct FakeUart {
  qint64 queued = 0;
  qint64 sent = 0;
  qint64 credit = 0;
  bool held = false;
  void advance(qint64 us) {
    if (held) return;
    credit += us;
    const qint64 n = std::min(queued, credit / kCharUs);
    queued -= n;
    sent += n;
    credit -= n * kCharUs;
    if (queued == 0) credit = 0;
  }
};

}  // namespace

TEST(DriverQueuePacing, AShortQueueFedInSlicesKeepsTheUartBusy) {
  DriverQueuePacing pacing;
  pacing.reset(kCharUs);
  EXPECT_GE(pacing.limit(), 16);
  EXPECT_LE(pacing.limit() * kCharUs, 21'000) << "about 20 ms of the line at most in the driver";
  FakeUart uart;
  qint64 waiting = 20'000, now = 0, looks = 0, idleWhileWaiting = 0, maxQueued = 0;
  while (waiting > 0 || uart.queued > 0) {
    const qint64 n = std::min<qint64>(waiting, pacing.room(int(uart.queued)));
    uart.queued += n;
    pacing.wrote(n);
    waiting -= n;
    maxQueued = std::max(maxQueued, uart.queued);
    const qint64 sleep = pacing.nextLookUs(int(uart.queued), waiting);
    ++looks;
    const qint64 before = uart.sent;
    uart.advance(sleep);
    if (waiting > 0 && uart.queued == 0) idleWhileWaiting += sleep - (uart.sent - before) * kCharUs;
    now += sleep;
  }
  EXPECT_LE(idleWhileWaiting, 0);
  EXPECT_LE(maxQueued, pacing.limit());
  EXPECT_LE(looks, 20'000 / pacing.slice() * 2 + 4) << "a look for each half queue, not each byte";
  EXPECT_NEAR(double(now), 20'000.0 * kCharUs, 20'000.0 * kCharUs * 0.02);
}

TEST(DriverQueuePacing, AHeldLineCostsFewLooksAndADc1IsFollowedSoon) {
  DriverQueuePacing pacing;
  pacing.reset(kCharUs);
  FakeUart uart;
  uart.queued = pacing.limit();
  uart.held = true;
  qint64 now = 0, looks = 0, lastSleep = 0;
  while (now < 1'000'000) {
    lastSleep = pacing.nextLookUs(int(uart.queued), 1000);
    now += lastSleep;
    ++looks;
  }
  EXPECT_LE(looks, 80) << "a second held by DC3";
  EXPECT_LE(lastSleep, 20'000);
  // DC1: the driver resumes its queue by itself, and the sender's next look finds it moving
  // and falls back to the line rate.
  uart.held = false;
  uart.advance(lastSleep);
  EXPECT_GT(uart.sent, 0);
  EXPECT_LE(pacing.nextLookUs(int(uart.queued), 1000), pacing.limit() * kCharUs);
}
