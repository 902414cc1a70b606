#pragma once
// The character frame of the simulated machine's serial line ("8N2", "7E2", ...) and the
// character rate it allows at a given speed.

#include <QByteArray>
#include <QString>
#include <optional>

namespace korvane {

struct MachineFrame {
  int dataBits = 8;   // 7 or 8
  char parity = 'N';  // 'N', 'E' or 'O'
  int stopBits = 2;   // 1 or 2

  // Bits on the wire per character: start bit, data bits, parity bit, stop bits.
  int bitsPerCharacter() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
  // Characters per second at baud; 0 for baud 0, which stands for "no line rate at all".
  double characterRate(int baud) const { return baud > 0 ? double(baud) / bitsPerCharacter() : 0.0; }
  QString text() const;
  // Bytes as this frame puts them on a pseudo-terminal: on a 7-bit frame bit 7 carries the
  // frame's parity bit (0 without parity), as the korvane end reads it; 8-bit frames as they are.
  QByteArray onLine(const QByteArray& bytes) const;
};

// "8N2" and the like, case-insensitive; nothing when the text names no usable frame.
std::optional<MachineFrame> parseMachineFrame(const QString& text);

// Number of one bits in a byte: the tape codes put their parity in the byte itself.
int oneBits(quint8 byte);

}  // namespace korvane
