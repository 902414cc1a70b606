#pragma once
// "Com n" on a serial device server: the same port operations over a TCP connection, either raw
// (the line's bytes as they are; flow control in band, so DC3/DC1 from the machine are acted on
// here) or with RFC 2217 (the server's port takes speed, frame and flow control from us, reports
// its modem lines and may ask us to pause). Output is let onto the connection at the line rate,
// as a UART would send it, so that a DC3 stops us within a few characters and nothing piles up
// in the device server.

#include <QByteArray>
#include <memory>

#include "platform/network/address_lock.h"
#include "platform/serial/line_pacer.h"
#include "platform/serial/line_settings.h"
#include "platform/serial/port_entry.h"
#include "platform/serial/serial_port.h"

namespace korvane {

class Rfc2217Client;

class NetworkSerialPort final : public SerialPort {
 public:
  explicit NetworkSerialPort(NetAddress address);
  ~NetworkSerialPort() override;
  NetworkSerialPort(const NetworkSerialPort&) = delete;
  NetworkSerialPort& operator=(const NetworkSerialPort&) = delete;

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

  const NetAddress& address() const { return address_; }
  void setConnectTimeoutMs(int ms) { connectTimeoutMs_ = ms; }
  void setCloseGraceMs(int ms) { closeGraceMs_ = ms; }

 private:
  bool rfc2217() const { return address_.protocol == NetAddress::Protocol::Rfc2217; }
  bool flowHere() const;
  bool held() const;
  short readEvents() const;
  bool negotiate(PortError* error);
  void sendFlowControl();
  void sendModemLines();
  // Reads what the connection holds; the number of bytes read.
  int pump();
  void takeData(const QByteArray& bytes);
  // Moves queued data onto the connection as far as the line rate and flow control allow.
  // Gives the connection the slice the emulated line may take; readFirst: read first, so that a
  // DC3 that has arrived holds it.
  void flush(bool readFirst);
  void writeWire();
  int pollSocket(short events, int timeoutMs);
  void lose(const QString& reason);
  bool fail(PortError* error, int number, const QString& head, const QString& detail);
  QString label() const;
  void release();

  NetAddress address_;
  int number_ = 1;
  QString settingsText_ = QStringLiteral("9600,N,8,1");
  int handshake_ = kHandshakeNone;
  bool rtsEnable_ = false;
  bool dtrEnable_ = false;
  bool nullDiscard_ = false;
  bool highBit_ = false;
  bool receiveFlowBytes_ = false;
  int connectTimeoutMs_ = 5000;
  int closeGraceMs_ = 2000;

  int fd_ = -1;
  AddressLock lock_;
  LineSettings line_;
  std::unique_ptr<Rfc2217Client> telnet_;
  QByteArray outQueue_;  // data not yet given to the connection
  QByteArray wire_;      // bytes for the connection (escaped data and commands) it has not taken
  QByteArray inBuffer_;
  bool heldByDc3_ = false;
  EmulatedLine emulated_;
  std::optional<PortError> failure_;
};

}  // namespace korvane
