#pragma once
// The device-server end of RFC 2217 without any socket, as the simulated machine offers it: it
// agrees to COM port control, takes every setting and answers it with the value taken, and can
// report modem lines and ask the client to pause.

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

#include "platform/network/telnet_codec.h"

namespace korvane {

class Rfc2217Server {
 public:
  // offerComPort false: a telnet server that refuses COM port control.
  explicit Rfc2217Server(bool offerComPort = true);

  QByteArray start();
  // Splits received bytes: the line's data is appended to *data; replies are returned.
  QByteArray receive(QByteArrayView bytes, QByteArray* data);
  static QByteArray data(QByteArrayView bytes) { return telnet::escape(bytes); }
  QByteArray notifyModemState(quint8 state) const;
  QByteArray flowControl(bool suspend) const;

  bool comPortOn() const { return options_.remoteOn(telnet::kOptComPort); }
  quint32 baudRate() const { return baudRate_; }
  int dataBits() const { return dataBits_; }
  int parity() const { return parity_; }      // telnet::kParity*
  int stopBits() const { return stopBits_; }  // telnet::kStop*
  // Every SET-CONTROL value received, in order.
  const std::vector<quint8>& controls() const { return controls_; }

 private:
  QByteArray answer(const QByteArray& payload);

  telnet::Decoder decoder_;
  telnet::Options options_;
  quint32 baudRate_ = 0;
  int dataBits_ = 0;
  int parity_ = 0;
  int stopBits_ = 0;
  std::vector<quint8> controls_;
};

}  // namespace korvane
