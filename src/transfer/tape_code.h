#pragma once
// The two punched-tape codes a machine's reader interface speaks, ISO (even parity in bit 8) and
// EIA RS-244 (odd parity in channel 5). These tables are the wire format: a wrong entry scraps parts.

#include <QChar>
#include <optional>

#include "settings/settings_types.h"

namespace korvane {

enum class TapeCode { Iso, Eia };

// tapeCode 1 is EIA, every other stored value ISO.
TapeCode tapeCodeOf(const PortProfile& profile);

// The tape byte for one character of a program, or nothing when the active code has no entry
// (lower-case letters, tabs, double-byte characters, and CR under EIA).
std::optional<quint8> convertSendCharacter(QChar character, TapeCode code);
inline std::optional<quint8> convertSendCharacter(QChar character, const PortProfile& profile) {
  return convertSendCharacter(character, tapeCodeOf(profile));
}

// The text character for one received byte, or nothing when the byte has no entry.
// ISO with dataBits "7" passes every byte through unchanged.
std::optional<QChar> convertReceivedByte(quint8 byte, TapeCode code, bool sevenDataBits);
inline std::optional<QChar> convertReceivedByte(quint8 byte, const PortProfile& profile) {
  return convertReceivedByte(byte, tapeCodeOf(profile), profile.dataBits == QLatin1String("7"));
}

// Whether a received byte came with the wrong parity for the code: on an 8-bit ISO line, an odd
// number of ones in the byte (CR in its plain form excepted, which the table takes, and the DC
// codes, which are no characters of the tape). Such a byte
// has no entry and is dropped; a reception counts it so that the operator hears of it. A 7-bit
// line's frame carries its parity bit outside the byte, and the port counts those.
bool hasWrongParity(quint8 byte, TapeCode code, bool sevenDataBits);
inline bool hasWrongParity(quint8 byte, const PortProfile& profile) {
  return hasWrongParity(byte, tapeCodeOf(profile), profile.dataBits == QLatin1String("7"));
}

}  // namespace korvane
