#include "platform/serial/switching_serial_port.h"

#include <poll.h>

#include "platform/network/network_serial_port.h"
#include "platform/serial/port_entry.h"
#include "platform/serial/posix_serial_port.h"

namespace korvane {

SwitchingSerialPort::SwitchingSerialPort(QString iniPath) : iniPath_(std::move(iniPath)) {}

SwitchingSerialPort::~SwitchingSerialPort() { close(); }

void SwitchingSerialPort::configure(SerialPort& port) const {
  port.setCommPort(number_);
  port.setSettings(settingsText_);
  port.setHandshaking(handshake_);
  port.setRtsEnable(rts_);
  port.setDtrEnable(dtr_);
  port.setNullDiscard(nullDiscard_);
  port.setHighBitFlowControl(highBit_);
  port.setReceiveFlowBytes(receiveFlowBytes_);
}

bool SwitchingSerialPort::open(PortError* error) {
  if (isOpen()) return active_->open(error);  // reports the port already open
  active_.reset();
  const PortEntry entry = resolvePortEntry(number_, iniPath_);
  switch (entry.kind) {
    case PortEntry::Kind::None:
      if (error) *error = PortError{kErrInvalidPort, QStringLiteral("ポートが存在しません (Com %1)").arg(number_)};
      return false;
    case PortEntry::Kind::Invalid:
      if (error) {
        *error = PortError{kErrBadSettings, QStringLiteral("ポートの指定が正しくありません (Com %1: %2: %3)")
                                                .arg(number_)
                                                .arg(entry.entryPath, entry.problem)};
      }
      return false;
    case PortEntry::Kind::Device: {
      const QString device = entry.device;
      active_ = std::make_unique<PosixSerialPort>([device](int) { return device; });
      break;
    }
    case PortEntry::Kind::Network:
      active_ = std::make_unique<NetworkSerialPort>(entry.address);
      break;
  }
  configure(*active_);
  return active_->open(error);
}

void SwitchingSerialPort::close() {
  if (active_) active_->close();
}

void SwitchingSerialPort::setSettings(const QString& text) {
  settingsText_ = text;
  if (active_) active_->setSettings(text);
}

void SwitchingSerialPort::setHandshaking(int mode) {
  handshake_ = mode;
  if (active_) active_->setHandshaking(mode);
}

void SwitchingSerialPort::setRtsEnable(bool on) {
  rts_ = on;
  if (active_) active_->setRtsEnable(on);
}

void SwitchingSerialPort::setDtrEnable(bool on) {
  dtr_ = on;
  if (active_) active_->setDtrEnable(on);
}

void SwitchingSerialPort::setNullDiscard(bool on) {
  nullDiscard_ = on;
  if (active_) active_->setNullDiscard(on);
}

void SwitchingSerialPort::setHighBitFlowControl(bool on) {
  highBit_ = on;
  if (active_) active_->setHighBitFlowControl(on);
}

void SwitchingSerialPort::setReceiveFlowBytes(bool on) {
  receiveFlowBytes_ = on;
  if (active_) active_->setReceiveFlowBytes(on);
}

// Without a port both waits sleep out their time, so that a caller polling in a loop never spins.
void SwitchingSerialPort::waitForInput(int timeoutMs) {
  if (active_) {
    active_->waitForInput(timeoutMs);
  } else if (timeoutMs > 0) {
    ::poll(nullptr, 0, timeoutMs);
  }
}

void SwitchingSerialPort::waitForOutput(int timeoutMs) {
  if (active_) {
    active_->waitForOutput(timeoutMs);
  } else if (timeoutMs > 0) {
    ::poll(nullptr, 0, timeoutMs);
  }
}

}  // namespace korvane
