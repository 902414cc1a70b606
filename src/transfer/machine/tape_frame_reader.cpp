#include "transfer/machine/tape_frame_reader.h"

#include "platform/serial/control_codes.h"

namespace korvane {

bool TapeFrameReader::parityOk(quint8 byte) const {
  const bool even = oneBits(byte) % 2 == 0;
  if (code_ == TapeCode::Eia) return !even;  // channel 5 makes every EIA code odd
  // ISO on an 8-bit frame carries its even parity in bit 8. On a 7-bit frame the serial line's
  // own parity bit travels in the same place of the byte, so the frame's parity rules it.
  if (frame_.dataBits == 7) {
    if (frame_.parity == 'N') return true;
    return frame_.parity == 'E' ? even : !even;
  }
  return even;
}

TapeFrame TapeFrameReader::read(quint8 byte) const {
  // The sender writes DC2 and DC4 as plain bytes under both codes; under EIA they cannot be
  // characters (even number of holes), under ISO they already have even parity.
  if (byte == kDc2) return {TapeFrameKind::StartReading, {}};
  if (byte == kDc4) return {TapeFrameKind::EndReading, {}};
  if (byte == 0x00) return {TapeFrameKind::Feed, {}};
  if (code_ == TapeCode::Iso) {
    const quint8 low = byte & 0x7F;
    if (low == kDc1 || low == kDc3) return {TapeFrameKind::FlowControl, {}};
  }
  if (!parityOk(byte)) return {TapeFrameKind::ParityError, {}};
  // All holes punched: a frame deleted on the tape.
  if ((code_ == TapeCode::Iso && (byte & 0x7F) == 0x7F) || (code_ == TapeCode::Eia && byte == 0x7F))
    return {TapeFrameKind::Feed, {}};

  const bool sevenBits = code_ == TapeCode::Iso && frame_.dataBits == 7;
  const quint8 value = sevenBits ? quint8(byte & 0x7F) : byte;
  if (value == 0x00) return {TapeFrameKind::Feed, {}};
  // The table knows CR only in its plain form; on the tape it carries its parity bit (0x8D).
  if (code_ == TapeCode::Iso && (byte & 0x7F) == 0x0D) return {TapeFrameKind::CarriageReturn, {}};
  const std::optional<QChar> c = convertReceivedByte(value, code_, sevenBits);
  if (!c) return {TapeFrameKind::Unknown, {}};
  switch (c->unicode()) {
    case u'\n': return {TapeFrameKind::EndOfBlock, {}};
    case u'\r': return {TapeFrameKind::CarriageReturn, {}};
    case u'%': return {TapeFrameKind::Percent, {}};
    default: break;
  }
  // A 7-bit line passes every code through; control codes are no program text.
  if (c->unicode() < 0x20 || c->unicode() == 0x7F) return {TapeFrameKind::Unknown, {}};
  return {TapeFrameKind::Character, *c};
}

void ProgramPhase::see(TapeFrameKind kind) {
  switch (kind) {
    case TapeFrameKind::Percent:
      state_ = state_ == State::Outside ? State::Opened : State::Outside;
      break;
    case TapeFrameKind::StartReading:
    case TapeFrameKind::EndReading:
      state_ = State::Outside;
      break;
    case TapeFrameKind::Character:
      if (state_ == State::Opened) state_ = State::Executing;
      break;
    default:
      break;
  }
}

}  // namespace korvane
