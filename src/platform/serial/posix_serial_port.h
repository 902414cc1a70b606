#pragma once
// The serial port on POSIX systems: a thin termios backend. Flow control runs in the driver
// (IXON/IXOFF, CRTSCTS), except with high-bit flow control on: a control with 7 data bits and a
// parity bit sends one of DC1/DC3 with bit 7 set and the other without, and a stop by the
// driver's IXON and a stop by tcflow do not release each other, so then all four bytes (0x11,
// 0x13, 0x91, 0x93) are taken out of the input here and act through tcflow. Output goes through
// a small queue of our own so that a byte write never blocks, even while the far end holds the
// line. Output is paced in slices (see line_pacer.h): a pseudo-terminal on an emulated line, a
// UART with a short driver queue.

#include <QByteArray>
#include <QString>
#include <functional>

#include "platform/serial/line_pacer.h"
#include "platform/serial/line_settings.h"
#include "platform/serial/received_frames.h"
#include "platform/serial/serial_port.h"

namespace korvane {

class PosixSerialPort final : public SerialPort {
 public:
  // Gives the device path of "Com n"; an empty path means the port does not exist.
  using DeviceResolver = std::function<QString(int number)>;

  explicit PosixSerialPort(DeviceResolver resolver);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  void setCommPort(int number) override { number_ = number; }
  int commPort() const override { return number_; }
  void setSettings(const QString& text) override { settingsText_ = text; }
  void setHandshaking(int mode) override;
  void setRtsEnable(bool on) override;
  void setDtrEnable(bool on) override;
  void setNullDiscard(bool on) override { nullDiscard_ = on; }
  void setHighBitFlowControl(bool on) override;
  void setReceiveFlowBytes(bool on) override;

  bool open(PortError* error) override;
  void close() override;
  bool isOpen() const override { return fd_ >= 0; }

  bool output(quint8 byte) override;
  int outBufferCount() override;
  int outputRoom() override;
  int inBufferCount() override;
  QByteArray input() override;
  bool dsrHolding() override;
  bool cdHolding() override;

  void waitForInput(int timeoutMs) override;
  void waitForOutput(int timeoutMs) override;

  std::optional<PortError> failure() const override { return failure_; }
  int parityErrors() const override { return frames_.parityErrors(); }

  // The device of the open port, or of the last open attempt.
  const QString& devicePath() const { return device_; }
  // How long close() waits for held output beyond the time the bytes need at the line rate.
  void setCloseGraceMs(int ms) { closeGraceMs_ = ms; }
  // A pseudo-terminal has no line rate of its own; by default output to one is paced to the
  // rate of the settings, as a UART would send it. Tests of the port itself may turn that off.
  void setPacePseudoTerminals(bool on) { pacePseudoTerminals_ = on; }

 private:
  // Flow bytes are taken out of the input here instead of in the driver.
  bool highBitFlow() const;
  int applyFlow();
  void applyModemLines();
  // Reads everything the driver holds into inBuffer_; gives the number of bytes read.
  int pumpInput();
  void takeInput(const char* bytes, qsizetype count);
  void gatherInput(qint64 deadlineMs);
  void holdOutput(bool hold);
  void flushOutput(bool anyAmount);
  int driverQueued();
  bool modemLine(int bit);
  // poll() on the port: the revents, 0 on timeout, -1 when a signal interrupted the wait.
  int pollPort(short events, int timeoutMs);
  void noteError(int error);
  void recordLoss(const QString& reason);
  QString portLabel() const;
  bool fail(PortError* error, int number, const QString& head, const QString& detail);
  void drainOutput();
  void releaseDevice();

  DeviceResolver resolver_;
  int number_ = 1;
  QString settingsText_ = QStringLiteral("9600,N,8,1");
  int handshake_ = kHandshakeNone;
  bool rtsEnable_ = false;
  bool dtrEnable_ = false;
  bool nullDiscard_ = false;
  bool highBit_ = false;
  bool receiveFlowBytes_ = false;
  int closeGraceMs_ = 2000;

  int fd_ = -1;
  QString device_;
  LineSettings line_;
  QByteArray outQueue_;
  QByteArray inBuffer_;
  ReceivedFrames frames_;
  bool heldByUs_ = false;  // output stopped with tcflow after a 0x93
  bool pacePseudoTerminals_ = true;
  bool virtualLine_ = false;  // a pseudo-terminal, paced to the line rate by us
  bool noModemLines_ = false;  // the device said it has none (a pseudo-terminal)
  EmulatedLine emulated_;
  DriverQueuePacing driverPacing_;
  int driverRoom_ = 0;  // what the driver may still be given, as last seen, less what it was given since
  qint64 emptyReadAtUs_ = -1;  // when a read last found nothing; -1 after data or a wake-up for input
  std::optional<PortError> failure_;
};

}  // namespace korvane
