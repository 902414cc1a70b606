#include "platform/network/rfc2217_server.h"

namespace korvane {

using namespace telnet;

Rfc2217Server::Rfc2217Server(bool offerComPort) {
  options_.wantLocal(kOptBinary);
  options_.wantRemote(kOptBinary);
  options_.wantLocal(kOptSuppressGoAhead);
  options_.wantRemote(kOptSuppressGoAhead);
  if (offerComPort) options_.wantRemote(kOptComPort);
}

QByteArray Rfc2217Server::start() { return options_.offer(); }

QByteArray Rfc2217Server::receive(QByteArrayView bytes, QByteArray* data) {
  std::vector<Event> events;
  decoder_.feed(bytes, data, &events);
  QByteArray replies;
  for (const Event& e : events) {
    if (e.kind != Event::Kind::Subnegotiation) {
      replies += options_.handle(e);
    } else if (e.option == kOptComPort && comPortOn()) {
      replies += answer(e.payload);
    }
  }
  return replies;
}

QByteArray Rfc2217Server::answer(const QByteArray& payload) {
  if (payload.isEmpty()) return {};
  const quint8 code = quint8(payload[0]);
  const QByteArray value = payload.mid(1);
  const int byte = value.isEmpty() ? -1 : quint8(value[0]);
  switch (code) {
    case kSetBaudRate:
      if (value.size() >= 4 && readBaudValue(value) != 0) baudRate_ = readBaudValue(value);
      return comPort(code + kServerOffset, baudValue(baudRate_));
    case kSetDataSize:
      if (byte > 0) dataBits_ = byte;
      return comPortByte(code + kServerOffset, quint8(dataBits_));
    case kSetParity:
      if (byte > 0) parity_ = byte;
      return comPortByte(code + kServerOffset, quint8(parity_));
    case kSetStopSize:
      if (byte > 0) stopBits_ = byte;
      return comPortByte(code + kServerOffset, quint8(stopBits_));
    case kSetControl:
      if (byte >= 0) controls_.push_back(quint8(byte));
      return comPort(code + kServerOffset, value);
    case kSignature:
      return comPort(code + kServerOffset, QByteArrayLiteral("korvane machine"));
    case kSetLineStateMask:
    case kSetModemStateMask:
    case kPurgeData:
      return comPort(code + kServerOffset, value);
    default:
      return {};  // the client's own flow-control requests: the simulated line never fills
  }
}

QByteArray Rfc2217Server::notifyModemState(quint8 state) const {
  return comPortByte(kNotifyModemState + kServerOffset, state);
}

QByteArray Rfc2217Server::flowControl(bool suspend) const {
  return comPort((suspend ? kFlowControlSuspend : kFlowControlResume) + kServerOffset, {});
}

}  // namespace korvane
