#include "transfer/machine/machine_frame.h"

#include <bit>

#include "platform/serial/line_settings.h"

namespace korvane {

QString MachineFrame::text() const {
  return QStringLiteral("%1%2%3").arg(dataBits).arg(QChar::fromLatin1(parity)).arg(stopBits);
}

QByteArray MachineFrame::onLine(const QByteArray& bytes) const {
  if (dataBits != 7) return bytes;
  QByteArray framed = bytes;
  for (char& c : framed) c = static_cast<char>(withParityBit(static_cast<quint8>(c), parity));
  return framed;
}

std::optional<MachineFrame> parseMachineFrame(const QString& text) {
  const QString t = text.trimmed().toUpper();
  if (t.size() != 3) return std::nullopt;
  MachineFrame frame;
  frame.dataBits = t[0].digitValue();
  frame.parity = t[1].toLatin1();
  frame.stopBits = t[2].digitValue();
  if (frame.dataBits != 7 && frame.dataBits != 8) return std::nullopt;
  if (frame.parity != 'N' && frame.parity != 'E' && frame.parity != 'O') return std::nullopt;
  if (frame.stopBits != 1 && frame.stopBits != 2) return std::nullopt;
  return frame;
}

int oneBits(quint8 byte) { return std::popcount(static_cast<unsigned>(byte)); }

}  // namespace korvane
