#include "platform/network/telnet_codec.h"

#include <initializer_list>
#include <utility>

namespace korvane::telnet {

namespace {

QByteArray bytes(std::initializer_list<quint8> list) {
  QByteArray out;
  for (const quint8 b : list) out.append(char(b));
  return out;
}

}  // namespace

void Decoder::feed(QByteArrayView bytes, QByteArray* data, std::vector<Event>* events) {
  for (const char c : bytes) {
    const auto b = static_cast<quint8>(c);
    switch (state_) {
      case State::Data:
        if (b == kIac) {
          state_ = State::Iac;
        } else {
          data->append(c);
        }
        break;
      case State::Iac:
        if (b == kIac) {
          data->append(c);
          state_ = State::Data;
        } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSb) {
          state_ = State::Sb;
        } else {
          state_ = State::Data;  // NOP, GA, AYT and the like carry nothing for a serial line
        }
        break;
      case State::Verb: {
        Event e;
        e.kind = verb_ == kWill ? Event::Kind::Will
                 : verb_ == kWont ? Event::Kind::Wont
                 : verb_ == kDo   ? Event::Kind::Do
                                  : Event::Kind::Dont;
        e.option = b;
        events->push_back(e);
        state_ = State::Data;
        break;
      }
      case State::Sb:
        sub_ = Event{Event::Kind::Subnegotiation, b, {}};
        state_ = State::SbData;
        break;
      case State::SbData:
        if (b == kIac) {
          state_ = State::SbIac;
        } else {
          sub_.payload.append(c);
        }
        break;
      case State::SbIac:
        if (b == kIac) {
          sub_.payload.append(c);
          state_ = State::SbData;
        } else if (b == kSe) {
          events->push_back(std::move(sub_));
          sub_ = Event{};
          state_ = State::Data;
        } else {
          // A broken subnegotiation: drop it and read the byte as the command it starts.
          sub_ = Event{};
          state_ = State::Iac;
          const char again = c;
          feed(QByteArrayView(&again, 1), data, events);
        }
        break;
    }
  }
}

QByteArray escape(QByteArrayView data) {
  QByteArray out;
  out.reserve(data.size());
  for (const char c : data) {
    out.append(c);
    if (static_cast<quint8>(c) == kIac) out.append(c);
  }
  return out;
}

QByteArray command(quint8 verb, quint8 option) {
  return bytes({kIac, verb, option});
}

QByteArray subnegotiation(quint8 option, QByteArrayView payload) {
  QByteArray out = bytes({kIac, kSb, option});
  out += escape(payload);
  out += bytes({kIac, kSe});
  return out;
}

QByteArray comPort(quint8 code, QByteArrayView value) {
  QByteArray payload(1, char(code));
  payload += value.toByteArray();
  return subnegotiation(kOptComPort, payload);
}

QByteArray comPortByte(quint8 code, quint8 value) { return comPort(code, QByteArray(1, char(value))); }

QByteArray baudValue(quint32 rate) {
  return bytes({quint8(rate >> 24), quint8(rate >> 16), quint8(rate >> 8), quint8(rate)});
}

quint32 readBaudValue(QByteArrayView value) {
  quint32 rate = 0;
  for (qsizetype i = 0; i < 4 && i < value.size(); ++i) rate = (rate << 8) | static_cast<quint8>(value[i]);
  return value.size() >= 4 ? rate : 0;
}

QByteArray Options::offer() {
  QByteArray out;
  for (int o = 0; o < 256; ++o) {
    if (wantLocal_[o] && !local_[o] && !askedWill_[o]) {
      askedWill_[o] = true;
      out += command(kWill, quint8(o));
    }
    if (wantRemote_[o] && !remote_[o] && !askedDo_[o]) {
      askedDo_[o] = true;
      out += command(kDo, quint8(o));
    }
  }
  return out;
}

QByteArray Options::handle(const Event& e) {
  const quint8 o = e.option;
  switch (e.kind) {
    case Event::Kind::Will:
      if (remote_[o]) return {};
      if (wantRemote_[o]) {
        remote_[o] = true;
        return std::exchange(askedDo_[o], false) ? QByteArray() : command(kDo, o);
      }
      return command(kDont, o);
    case Event::Kind::Wont: {
      const bool wasOn = remote_[o];
      remote_[o] = false;
      askedDo_[o] = false;
      return wasOn ? command(kDont, o) : QByteArray();
    }
    case Event::Kind::Do:
      if (local_[o]) return {};
      if (wantLocal_[o]) {
        local_[o] = true;
        return std::exchange(askedWill_[o], false) ? QByteArray() : command(kWill, o);
      }
      return command(kWont, o);
    case Event::Kind::Dont: {
      const bool wasOn = local_[o];
      if (askedWill_[o]) localRefused_[o] = true;
      local_[o] = false;
      askedWill_[o] = false;
      return wasOn ? command(kWont, o) : QByteArray();
    }
    case Event::Kind::Subnegotiation: break;
  }
  return {};
}

}  // namespace korvane::telnet
