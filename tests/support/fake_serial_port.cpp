#include "support/fake_serial_port.h"

namespace korvane::test {

bool FakeSerialPort::open(PortError* error) {
  if (failOpen) {
    if (error) *error = openError;
    return false;
  }
  open_ = true;
  ++openCount;
  settingsAtOpen.append(settings_);
  handshakeAtOpen.append(handshaking);
  return true;
}

void FakeSerialPort::close() {
  drain();
  closedAfter.append(wire.size());
  open_ = false;
  failure_.reset();
  queue_.clear();
}

bool FakeSerialPort::heldForAWhile() {
  if (holdAfter < 0 || wire.size() < holdAfter) return false;
  if (holdStartMs_ < 0) holdStartMs_ = clock_.nowMs();
  return clock_.nowMs() < holdStartMs_ + holdForMs;
}

void FakeSerialPort::drain() {
  while (!queue_.isEmpty() && !held && !failure_ && !heldForAWhile()) {
    if (loseDeviceAfter >= 0 && wire.size() >= loseDeviceAfter) {
      failure_ = PortError{kErrDeviceLost, QStringLiteral("デバイスが切断されました")};
      return;
    }
    wire.append(queue_.front());
    wireTimes.append(clock_.nowMs());
    queue_.remove(0, 1);
  }
}

bool FakeSerialPort::output(quint8 byte) {
  if (!open_ || failure_) return false;
  queue_.append(static_cast<char>(byte));
  drain();
  return !failure_;
}

int FakeSerialPort::outBufferCount() {
  drain();
  return static_cast<int>(queue_.size());
}

QByteArray FakeSerialPort::input() {
  QByteArray bytes = input_;
  input_.clear();
  if (nullDiscard_) bytes.replace('\0', QByteArray());
  return bytes;
}

void FakeSerialPort::waitForInput(int timeoutMs) {
  if (input_.isEmpty()) clock_.advance(timeoutMs);
}

void FakeSerialPort::waitForOutput(int timeoutMs) {
  clock_.advance(timeoutMs);
  drain();
}

}  // namespace korvane::test
