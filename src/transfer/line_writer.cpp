#include "transfer/line_writer.h"

namespace korvane {

namespace {

// Under an abort, how long held output may make no progress before the job stops waiting for it.
constexpr qint64 kAbortGraceMs = 500;

}  // namespace

bool LineWriter::waitForModemLines() {
  if (asInt(profile_.checkDcdDsr) != 1) return true;
  while (!(c_.port.dsrHolding() || c_.port.cdHolding())) {
    c_.pump.serveEvents();
    if (c_.cancel.load()) return false;
    if (c_.port.failure()) {
      lost_ = true;
      return false;
    }
    c_.clock.sleepMs(kEventSliceMs);
  }
  return true;
}

bool LineWriter::waitForEmptyOutput() {
  if (stalled_) return false;
  int lastCount = -1;
  qint64 lastProgress = c_.clock.nowMs();
  for (;;) {
    const int count = c_.port.outBufferCount();
    if (c_.port.failure()) {
      lost_ = true;
      return false;
    }
    if (count == 0) return true;
    if (count != lastCount) {
      lastCount = count;
      lastProgress = c_.clock.nowMs();
    }
    c_.pump.serveEvents();
    if (c_.cancel.load() && c_.clock.nowMs() - lastProgress >= kAbortGraceMs) {
      stalled_ = true;
      return false;
    }
    c_.port.waitForOutput(kEventSliceMs);
  }
}

// A paced port takes a slice of data at a time and lets it onto the line when the line needs
// it, holding it while the machine's DC3 does; only when it takes nothing more does the job
// wait, and then for the whole slice, not for each byte.
bool LineWriter::waitForRoom() {
  if (stalled_) return false;
  int lastCount = -1;
  qint64 lastProgress = 0;
  for (;;) {
    const int room = c_.port.outputRoom();
    if (c_.port.failure()) {
      lost_ = true;
      return false;
    }
    if (room > 0) return true;
    c_.pump.serveEvents();
    if (c_.cancel.load()) {
      // Only an abort looks at what the line still holds: it gives up once that stays put.
      const int count = c_.port.outBufferCount();
      if (count != lastCount) {
        lastCount = count;
        lastProgress = c_.clock.nowMs();
      }
      if (c_.clock.nowMs() - lastProgress >= kAbortGraceMs) {
        stalled_ = true;
        return false;
      }
    }
    c_.port.waitForOutput(kEventSliceMs);
  }
}

void LineWriter::write(quint8 byte) {
  if (lost_) return;
  if (!c_.port.output(byte) && c_.port.failure()) lost_ = true;
}

void LineWriter::sendDataByte(quint8 byte) {
  if (lost_) return;
  // The delay paces a slow reader. An abort ends a delay under way at once, however long it was
  // set, and the byte it held back stays unsent; the closing bytes then go without delay.
  if (asInt(profile_.waitEnabled) == 1 && !c_.cancel.load() &&
      !pauseMs(c_.pump, c_.clock, asInt(profile_.waitTime), c_.cancel)) {
    return;
  }
  if (!waitForModemLines()) return;
  if (!waitForRoom()) return;
  c_.pump.serveEvents();
  write(byte);
}

void LineWriter::sendControlByte(quint8 byte) {
  if (lost_) return;
  if (!waitForModemLines()) return;
  write(byte);
}

QString serialSettingsText(const PortProfile& p) {
  return p.baudRate + QLatin1Char(',') + p.parity + QLatin1Char(',') + p.dataBits + QLatin1Char(',') + p.stopBits;
}

QString elapsedText(qint64 elapsedMs) {
  const qint64 total = elapsedMs / 1000;
  const qint64 hours = total / 3600;
  const qint64 minutes = (total - 3600 * hours) / 60;
  const qint64 seconds = total - 3600 * hours - 60 * minutes;
  return QStringLiteral("%1 : %2 : %3")
      .arg(hours, 2, 10, QLatin1Char('0'))
      .arg(minutes, 2, 10, QLatin1Char('0'))
      .arg(seconds, 2, 10, QLatin1Char('0'));
}

void showElapsedTime(TransferContext& context, qint64 startMs) {
  context.view.setElapsedText(elapsedText(context.clock.nowMs() - startMs));
}

}  // namespace korvane
