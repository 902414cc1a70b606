#pragma once
// The speed and frame of a serial line, read from a settings text such as 9600,N,8,2.

#include <QString>
#include <algorithm>
#include <optional>

namespace korvane {

struct LineSettings {
  int rate = 9600;
  char parity = 'N';  // 'N', 'E' or 'O'
  int dataBits = 8;   // 7 or 8
  int stopBits = 1;   // 1 or 2

  // Bits on the wire per character: start bit, data bits, parity bit, stop bits.
  int frameBits() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
  // One character's time on the line in microseconds, at least one.
  qint64 charUs() const { return std::max<qint64>(1, qint64(1'000'000) * frameBits() / std::max(rate, 1)); }
};

// The rates a profile may name: the classic ones of the settings dialog (110 to 256000, some of
// them without a POSIX constant) and the common higher ones.
bool isKnownLineRate(int rate);

// The settings text speed,parity,data,stop. Blanks around a field and lower-case parity letters
// are accepted. Nothing when the text cannot be used; then *problem (when given) says why, in
// Japanese and English.
std::optional<LineSettings> parseLineSettings(const QString& text, QString* problem = nullptr);

// A 7-bit frame as a UART puts it on the line, written as one byte: the 7 data bits of byte and,
// in bit 7, the parity bit ('E' even, 'O' odd; 0 for 'N').
quint8 withParityBit(quint8 byte, char parity);
// The 7 data bits of such a byte, or nothing when its parity bit does not match; without parity
// bit 7 is not looked at.
std::optional<quint8> checkParityBit(quint8 byte, char parity);

}  // namespace korvane
