#pragma once
// The service keeps each machine's line open from start to stop: closing a real port drops DTR
// and RTS, which a control can take for a reader that went away, and gives the port to whoever
// opens it next. An engine that opens and closes the port for its job is handed this wrapper:
// its open applies the settings to the line already open, its close only lets the output drain.
// Bytes the service read before the engine started (the go-ahead, the start of a new tape) can
// be put back, and the engine reads them first.

#include <QByteArray>

#include "platform/serial/serial_port.h"

namespace korvane {

class HeldPort final : public SerialPort {
 public:
  explicit HeldPort(SerialPort& line) : line_(line) {}

  // Opens the line itself; from then on open() and close() of an engine keep it open.
  bool openLine(PortError* error);
  void closeLine();
  // Bytes read from the line that the next input() hands out again, before anything newer.
  void putBack(const QByteArray& bytes) { putBack_.prepend(bytes); }

  void setCommPort(int number) override { line_.setCommPort(number); }
  int commPort() const override { return line_.commPort(); }
  void setSettings(const QString& text) override { line_.setSettings(text); }
  void setHandshaking(int mode) override { line_.setHandshaking(mode); }
  void setRtsEnable(bool on) override { line_.setRtsEnable(on); }
  void setDtrEnable(bool on) override { line_.setDtrEnable(on); }
  void setNullDiscard(bool on) override { line_.setNullDiscard(on); }
  void setHighBitFlowControl(bool on) override { line_.setHighBitFlowControl(on); }
  void setReceiveFlowBytes(bool on) override { line_.setReceiveFlowBytes(on); }

  bool open(PortError* error) override;
  void close() override;
  bool isOpen() const override { return line_.isOpen(); }

  bool output(quint8 byte) override { return line_.output(byte); }
  int outBufferCount() override { return line_.outBufferCount(); }
  int outputRoom() override { return line_.outputRoom(); }
  int inBufferCount() override { return int(putBack_.size()) + line_.inBufferCount(); }
  QByteArray input() override;
  bool dsrHolding() override { return line_.dsrHolding(); }
  bool cdHolding() override { return line_.cdHolding(); }
  void waitForInput(int timeoutMs) override;
  void waitForOutput(int timeoutMs) override { line_.waitForOutput(timeoutMs); }
  std::optional<PortError> failure() const override { return line_.failure(); }
  int parityErrors() const override { return line_.parityErrors(); }

 private:
  SerialPort& line_;
  QByteArray putBack_;
};

}  // namespace korvane
