#include "transfer/service/held_port.h"

#include <utility>

namespace korvane {

namespace {
// Long enough for a tape's last characters at the slowest rate a machine is set to; an output
// the machine holds for good is not waited for longer than this.
constexpr int kDrainLimitMs = 5000;
constexpr int kDrainStepMs = 50;
}  // namespace

bool HeldPort::openLine(PortError* error) {
  putBack_.clear();
  return line_.open(error);
}

void HeldPort::closeLine() {
  putBack_.clear();
  line_.close();
}

bool HeldPort::open(PortError* error) {
  if (line_.isOpen() && !line_.failure()) return true;
  if (error) *error = line_.failure().value_or(PortError{kErrPortNotOpen, QStringLiteral("ポートが開いていません")});
  return false;
}

void HeldPort::close() {
  for (int waited = 0; waited < kDrainLimitMs && line_.outBufferCount() > 0 && !line_.failure(); waited += kDrainStepMs)
    line_.waitForOutput(kDrainStepMs);
}

QByteArray HeldPort::input() {
  QByteArray bytes = std::exchange(putBack_, QByteArray());
  bytes += line_.input();
  return bytes;
}

void HeldPort::waitForInput(int timeoutMs) {
  if (putBack_.isEmpty()) line_.waitForInput(timeoutMs);
}

}  // namespace korvane
