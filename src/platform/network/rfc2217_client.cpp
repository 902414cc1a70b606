#include "platform/network/rfc2217_client.h"

#include <vector>

namespace korvane {

using namespace telnet;

Rfc2217Client::Rfc2217Client() {
  // Binary both ways: otherwise a CR would travel as CR NUL and 0x80..0xFF were not data.
  options_.wantLocal(kOptBinary);
  options_.wantRemote(kOptBinary);
  options_.wantLocal(kOptSuppressGoAhead);
  options_.wantRemote(kOptSuppressGoAhead);
  options_.wantLocal(kOptComPort);
}

QByteArray Rfc2217Client::start() { return options_.offer(); }

QByteArray Rfc2217Client::receive(QByteArrayView bytes, QByteArray* data) {
  std::vector<Event> events;
  decoder_.feed(bytes, data, &events);
  QByteArray replies;
  for (const Event& e : events) {
    if (e.kind == Event::Kind::Subnegotiation) {
      if (e.option == kOptComPort) answer(e.payload);
      continue;
    }
    replies += options_.handle(e);
    if (e.option == kOptComPort && options_.localRefused(kOptComPort)) refused_ = true;
  }
  return replies;
}

void Rfc2217Client::expect(quint8 code, QByteArray value) {
  if (expected_[code].isNull()) ++pendingAnswers_;
  expected_[code] = std::move(value);
}

QByteArray Rfc2217Client::setLine(const LineSettings& line) {
  const quint8 parity = line.parity == 'E' ? kParityEven : line.parity == 'O' ? kParityOdd : kParityNone;
  const quint8 stop = line.stopBits == 2 ? kStopTwo : kStopOne;
  const QByteArray values[5] = {{},
                                baudValue(quint32(line.rate)),
                                QByteArray(1, char(line.dataBits)),
                                QByteArray(1, char(parity)),
                                QByteArray(1, char(stop))};
  QByteArray out;
  for (quint8 code = kSetBaudRate; code <= kSetStopSize; ++code) {
    expect(code, values[code]);
    out += comPort(code, values[code]);
  }
  return out;
}

QByteArray Rfc2217Client::setFlowControl(quint8 outbound, quint8 inbound) {
  return comPortByte(kSetControl, outbound) + comPortByte(kSetControl, inbound);
}

QByteArray Rfc2217Client::setModemLines(bool dtr, bool rts) {
  return comPortByte(kSetControl, dtr ? kDtrOn : kDtrOff) + comPortByte(kSetControl, rts ? kRtsOn : kRtsOff);
}

void Rfc2217Client::answer(const QByteArray& payload) {
  if (payload.isEmpty()) return;
  const quint8 code = quint8(payload[0]);
  const QByteArray value = payload.mid(1);
  if (code >= kServerOffset + kSetBaudRate && code <= kServerOffset + kSetStopSize) {
    const int set = code - kServerOffset;
    if (expected_[set].isNull()) return;  // an answer to nothing we asked, or asked before
    if (value != expected_[set] && mismatch_.isEmpty()) {
      static const char* const names[5] = {"", "speed", "data bits", "parity", "stop bits"};
      const QString asked = set == kSetBaudRate ? QString::number(readBaudValue(expected_[set]))
                                                : QString::number(quint8(expected_[set][0]));
      const QString got = set == kSetBaudRate ? QString::number(readBaudValue(value))
                                              : (value.isEmpty() ? QStringLiteral("-") : QString::number(quint8(value[0])));
      mismatch_ = QStringLiteral("%1: %2 → %3").arg(QLatin1String(names[set]), asked, got);
    }
    expected_[set] = QByteArray();
    --pendingAnswers_;
  } else if (code == kServerOffset + kFlowControlSuspend) {
    suspended_ = true;
  } else if (code == kServerOffset + kFlowControlResume) {
    suspended_ = false;
  } else if (code == kServerOffset + kNotifyModemState && !value.isEmpty()) {
    modemState_ = quint8(value[0]);
    if (*modemState_ & kModemLines) linesSeen_ = true;
  }
}

}  // namespace korvane
