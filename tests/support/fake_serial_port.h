#pragma once
// A serial port in memory: records every byte written with the virtual time it left, lets a test
// hold the output as a machine's DC3 would, feed input, drop the modem lines or pull the plug.

#include <QByteArray>
#include <QList>

#include "platform/serial/serial_port.h"
#include "support/fake_clock.h"

namespace korvane::test {

class FakeSerialPort final : public SerialPort {
 public:
  explicit FakeSerialPort(FakeClock& clock) : clock_(clock) {}

  // Test controls.
  QByteArray wire;                 // every byte that left, in order
  QList<qint64> wireTimes;         // when each left
  QList<QString> settingsAtOpen;   // settings text of every open
  QList<int> handshakeAtOpen;      // handshaking of every open
  QList<qsizetype> closedAfter;    // wire size at every close
  int openCount = 0;
  bool failOpen = false;
  PortError openError{kErrInvalidPort, QStringLiteral("ポートが存在しません")};
  bool held = false;      // output held by flow control
  bool modemLines = true; // DSR/DCD
  bool highBitFlow = false;
  bool receiveFlowBytes = false;
  int handshaking = 0;
  // Pulls the plug once this many bytes have left.
  qsizetype loseDeviceAfter = -1;
  // Once this many bytes have left, the far end holds the output for holdForMs of virtual time,
  // as a machine does between its DC3 and DC1.
  qsizetype holdAfter = -1;
  qint64 holdForMs = 0;
  void feed(const QByteArray& bytes) { input_ += bytes; }
  void pullPlug() { failure_ = PortError{kErrDeviceLost, QStringLiteral("デバイスが切断されました")}; }

  void setCommPort(int number) override { port_ = number; }
  int commPort() const override { return port_; }
  void setSettings(const QString& text) override { settings_ = text; }
  void setHandshaking(int mode) override { handshaking = mode; }
  void setRtsEnable(bool) override {}
  void setDtrEnable(bool) override {}
  void setNullDiscard(bool on) override { nullDiscard_ = on; }
  void setHighBitFlowControl(bool on) override { highBitFlow = on; }
  void setReceiveFlowBytes(bool on) override { receiveFlowBytes = on; }

  bool open(PortError* error) override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool output(quint8 byte) override;
  int outBufferCount() override;
  int inBufferCount() override { return static_cast<int>(input_.size()); }
  QByteArray input() override;
  bool dsrHolding() override { return modemLines; }
  bool cdHolding() override { return modemLines; }
  void waitForInput(int timeoutMs) override;
  void waitForOutput(int timeoutMs) override;
  std::optional<PortError> failure() const override { return failure_; }

 private:
  void drain();

  FakeClock& clock_;
  int port_ = 1;
  QString settings_;
  bool nullDiscard_ = false;
  bool open_ = false;
  bool heldForAWhile();

  QByteArray queue_;
  qint64 holdStartMs_ = -1;
  QByteArray input_;
  std::optional<PortError> failure_;
};

}  // namespace korvane::test
