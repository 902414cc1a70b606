#pragma once
// The serial port on Windows: \\.\COMn through the Win32 communications functions. Flow control
// runs in the driver (the DCB's XON/XOFF and RTS/CTS), except with high-bit flow control on or
// received flow bytes handed to the reader: then the driver does not act on DC1/DC3, they are
// taken out of the input here, and they hold the driver's output through EscapeCommFunction,
// as on POSIX through tcflow. All I/O is overlapped, and every wait sleeps on the port's events
// or the write's completion with a time limit; nothing polls in a loop.
//
// Output is let through at the line rate of the settings, at most a 16550's transmit FIFO ahead:
// a real UART would not send faster anyway, and a port that is not a UART (a pseudo-terminal
// behind Wine, a USB adapter with a large buffer) then behaves towards the machine as one.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "platform/serial/line_settings.h"
#include "platform/serial/serial_port.h"

namespace korvane {

class Win32SerialPort final : public SerialPort {
 public:
  // Gives the device name of "Com n"; an empty name means the port does not exist.
  using DeviceResolver = std::function<QString(int number)>;

  explicit Win32SerialPort(DeviceResolver resolver = comDeviceName);
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  // \\.\COMn: the form that reaches COM10 and above as well.
  static QString comDeviceName(int number);

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
  bool isOpen() const override;

  bool output(quint8 byte) override;
  int outBufferCount() override;
  int inBufferCount() override;
  QByteArray input() override;
  bool dsrHolding() override;
  bool cdHolding() override;

  void waitForInput(int timeoutMs) override;
  void waitForOutput(int timeoutMs) override;

  std::optional<PortError> failure() const override { return failure_; }
  int parityErrors() const override { return parityErrors_; }

  const QString& devicePath() const { return device_; }
  void setCloseGraceMs(int ms) { closeGraceMs_ = ms; }

 private:
  struct Io;

  bool highBitFlow() const;
  bool applyState();
  int pumpInput();
  void takeInput(const char* bytes, qsizetype count);
  void holdOutput(bool hold);
  void flushOutput();
  void finishWrite();
  int driverQueued();
  int pendingOutput();
  bool modemLine(unsigned long bit);
  // Sleeps until a port event, the write's completion or timeoutMs; true when something happened.
  bool waitEvents(int timeoutMs);
  void noteError(unsigned long error);
  void recordLoss(const QString& reason);
  QString portLabel() const;
  bool fail(PortError* error, int number, const QString& head, const QString& detail);
  void drainOutput();
  void releaseDevice();
  int virtualRoom() const;
  qint64 usUntilVirtualRoom() const;

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

  std::unique_ptr<Io> io_;
  QString device_;
  LineSettings line_;
  QByteArray outQueue_;
  QByteArray inBuffer_;
  bool heldByUs_ = false;      // output held with SETXOFF after a DC3 taken here
  bool noModemLines_ = false;  // the driver cannot report them (a pseudo-terminal behind Wine)
  int parityErrors_ = 0;
  qint64 charUs_ = 1;
  qint64 lineFreeAtUs_ = 0;
  std::optional<PortError> failure_;
};

}  // namespace korvane
