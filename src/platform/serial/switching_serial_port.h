#pragma once
// "Com n" whatever it is: resolves korvane-ports/com<n> at each open and hands every operation to
// a serial device port or a device-server port, so one port object serves every port number as
// the comm control does. The settings made while closed are kept and given to the port opened.

#include <QString>
#include <memory>

#include "platform/serial/serial_port.h"

namespace korvane {

class SwitchingSerialPort final : public SerialPort {
 public:
  explicit SwitchingSerialPort(QString iniPath);
  ~SwitchingSerialPort() override;

  void setCommPort(int number) override { number_ = number; }
  int commPort() const override { return number_; }
  void setSettings(const QString& text) override;
  void setHandshaking(int mode) override;
  void setRtsEnable(bool on) override;
  void setDtrEnable(bool on) override;
  void setNullDiscard(bool on) override;
  void setHighBitFlowControl(bool on) override;
  void setReceiveFlowBytes(bool on) override;

  bool open(PortError* error) override;
  void close() override;
  bool isOpen() const override { return active_ && active_->isOpen(); }

  bool output(quint8 byte) override { return active_ && active_->output(byte); }
  int outBufferCount() override { return active_ ? active_->outBufferCount() : 0; }
  int outputRoom() override { return active_ ? active_->outputRoom() : 1; }
  int inBufferCount() override { return active_ ? active_->inBufferCount() : 0; }
  QByteArray input() override { return active_ ? active_->input() : QByteArray(); }
  bool dsrHolding() override { return active_ && active_->dsrHolding(); }
  bool cdHolding() override { return active_ && active_->cdHolding(); }
  void waitForInput(int timeoutMs) override;
  void waitForOutput(int timeoutMs) override;
  std::optional<PortError> failure() const override { return active_ ? active_->failure() : std::nullopt; }
  int parityErrors() const override { return active_ ? active_->parityErrors() : 0; }

 private:
  void configure(SerialPort& port) const;

  QString iniPath_;
  int number_ = 1;
  QString settingsText_ = QStringLiteral("9600,N,8,1");
  int handshake_ = kHandshakeNone;
  bool rts_ = false;
  bool dtr_ = false;
  bool nullDiscard_ = false;
  bool highBit_ = false;
  bool receiveFlowBytes_ = false;
  std::unique_ptr<SerialPort> active_;
};

}  // namespace korvane
