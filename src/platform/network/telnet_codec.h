#pragma once
// Telnet as serial device servers speak it (RFC 854) with the COM port control option of
// RFC 2217: the byte stream split into data and commands, IAC doubled in both directions, option
// negotiation without loops, and the COM-PORT-OPTION messages. No sockets here: the codec is fed
// bytes and gives bytes, so it can be tested and fuzzed on its own. Used by the client port and
// by the simulated machine's server end.

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <vector>

namespace korvane::telnet {

inline constexpr quint8 kIac = 255;
inline constexpr quint8 kDont = 254;
inline constexpr quint8 kDo = 253;
inline constexpr quint8 kWont = 252;
inline constexpr quint8 kWill = 251;
inline constexpr quint8 kSb = 250;
inline constexpr quint8 kSe = 240;

inline constexpr quint8 kOptBinary = 0;
inline constexpr quint8 kOptEcho = 1;
inline constexpr quint8 kOptSuppressGoAhead = 3;
inline constexpr quint8 kOptComPort = 44;

// COM-PORT-OPTION commands, client to server; the server answers with the same code + 100.
inline constexpr quint8 kSignature = 0;
inline constexpr quint8 kSetBaudRate = 1;
inline constexpr quint8 kSetDataSize = 2;
inline constexpr quint8 kSetParity = 3;
inline constexpr quint8 kSetStopSize = 4;
inline constexpr quint8 kSetControl = 5;
inline constexpr quint8 kNotifyLineState = 6;
inline constexpr quint8 kNotifyModemState = 7;
inline constexpr quint8 kFlowControlSuspend = 8;
inline constexpr quint8 kFlowControlResume = 9;
inline constexpr quint8 kSetLineStateMask = 10;
inline constexpr quint8 kSetModemStateMask = 11;
inline constexpr quint8 kPurgeData = 12;
inline constexpr quint8 kServerOffset = 100;

// Values of SET-PARITY and SET-STOPSIZE.
inline constexpr quint8 kParityNone = 1;
inline constexpr quint8 kParityOdd = 2;
inline constexpr quint8 kParityEven = 3;
inline constexpr quint8 kStopOne = 1;
inline constexpr quint8 kStopTwo = 2;

// Values of SET-CONTROL.
inline constexpr quint8 kOutboundNone = 1;
inline constexpr quint8 kOutboundXonXoff = 2;
inline constexpr quint8 kOutboundHardware = 3;
inline constexpr quint8 kDtrOn = 8;
inline constexpr quint8 kDtrOff = 9;
inline constexpr quint8 kRtsOn = 11;
inline constexpr quint8 kRtsOff = 12;
inline constexpr quint8 kInboundNone = 14;
inline constexpr quint8 kInboundXonXoff = 15;
inline constexpr quint8 kInboundHardware = 16;

// NOTIFY-MODEMSTATE bits.
inline constexpr quint8 kModemCd = 0x80;
inline constexpr quint8 kModemDsr = 0x20;
inline constexpr quint8 kModemLines = 0xF0;  // CD, RI, DSR, CTS

struct Event {
  enum class Kind { Will, Wont, Do, Dont, Subnegotiation };
  Kind kind = Kind::Will;
  quint8 option = 0;
  QByteArray payload;  // of a subnegotiation, IAC already undoubled
};

// Splits a received stream into data and commands; keeps its state across calls, so a command
// cut between two reads is still read whole.
class Decoder {
 public:
  void feed(QByteArrayView bytes, QByteArray* data, std::vector<Event>* events);

 private:
  enum class State { Data, Iac, Verb, Sb, SbData, SbIac };
  State state_ = State::Data;
  quint8 verb_ = 0;
  Event sub_;
};

// Data for the wire: every 0xFF doubled.
QByteArray escape(QByteArrayView data);
QByteArray command(quint8 verb, quint8 option);
// IAC SB option payload IAC SE, with 0xFF in the payload doubled.
QByteArray subnegotiation(quint8 option, QByteArrayView payload);
// A COM-PORT-OPTION message: code then value.
QByteArray comPort(quint8 code, QByteArrayView value);
QByteArray comPortByte(quint8 code, quint8 value);
// The 32-bit value of SET-BAUDRATE, network byte order.
QByteArray baudValue(quint32 rate);
quint32 readBaudValue(QByteArrayView value);

// Option negotiation of one end (RFC 1143 in its simple form): it asks for what it wants, agrees
// to what it wants when the other end asks, refuses everything else, and answers a request only
// when the state changes, so two ends never loop.
class Options {
 public:
  // local: options this end performs (answers to DO); remote: options it wants the other end to
  // perform (answers to WILL).
  void wantLocal(quint8 option) { wantLocal_[option] = true; }
  void wantRemote(quint8 option) { wantRemote_[option] = true; }
  // The requests this end starts with.
  QByteArray offer();
  // The reply to one event (may be empty).
  QByteArray handle(const Event& event);

  bool localOn(quint8 option) const { return local_[option]; }
  bool remoteOn(quint8 option) const { return remote_[option]; }
  // The other end answered a request of ours with a refusal.
  bool localRefused(quint8 option) const { return localRefused_[option]; }

 private:
  std::array<bool, 256> wantLocal_{}, wantRemote_{}, local_{}, remote_{}, askedWill_{}, askedDo_{}, localRefused_{};
};

}  // namespace korvane::telnet
