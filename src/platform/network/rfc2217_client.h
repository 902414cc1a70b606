#pragma once
// The client end of RFC 2217 (telnet COM port control) without any socket: what to send to set
// the line and its flow control, and what the server's answers and notifications mean. The
// network port feeds it received bytes and writes what it gives.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "platform/serial/line_settings.h"
#include "platform/network/telnet_codec.h"

namespace korvane {

class Rfc2217Client {
 public:
  Rfc2217Client();

  // The option requests to send first.
  QByteArray start();
  // Splits received bytes: the line's data is appended to *data; the replies the telnet
  // negotiation needs are returned, to be sent.
  QByteArray receive(QByteArrayView bytes, QByteArray* data);

  // Speed, data bits, parity, stop bits. Each is answered by the server with the value it took.
  QByteArray setLine(const LineSettings& line);
  // SET-CONTROL for the flow control the server's port does on its own (outbound: what the
  // machine sends stops our data; inbound: the server throttles the machine).
  QByteArray setFlowControl(quint8 outbound, quint8 inbound);
  QByteArray setModemLines(bool dtr, bool rts);
  // Data for the wire, with 0xFF doubled.
  static QByteArray data(QByteArrayView bytes) { return telnet::escape(bytes); }

  bool accepted() const { return options_.localOn(telnet::kOptComPort); }
  bool refused() const { return refused_; }
  // Every setting sent by setLine has been answered.
  bool lineConfirmed() const { return pendingAnswers_ == 0; }
  // A setting the server answered with a value other than the one asked for.
  const QString& mismatch() const { return mismatch_; }
  // The server asked us to stop sending (FLOWCONTROL-SUSPEND) and has not released it.
  bool suspended() const { return suspended_; }
  // The modem lines as the server last reported them; nothing until the server has reported one
  // of them asserted. A server in front of a line without modem signals (a three-wire cable, a
  // pseudo-terminal) reports them all down for good: it cannot report them, as a pseudo-terminal
  // cannot, and the lines count as asserted.
  std::optional<quint8> modemState() const { return linesSeen_ ? modemState_ : std::nullopt; }

 private:
  void answer(const QByteArray& payload);
  void expect(quint8 code, QByteArray value);

  telnet::Decoder decoder_;
  telnet::Options options_;
  bool refused_ = false;
  bool suspended_ = false;
  int pendingAnswers_ = 0;
  QByteArray expected_[5];  // the value asked for, by SET code 1..4
  QString mismatch_;
  std::optional<quint8> modemState_;
  bool linesSeen_ = false;
};

}  // namespace korvane
