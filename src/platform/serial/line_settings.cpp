#include "platform/serial/line_settings.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <bit>

namespace korvane {

namespace {

constexpr std::array kKnownRates = {110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200, 28800,
                                    38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};

std::optional<LineSettings> refuse(QString* problem, const QString& why) {
  if (problem) *problem = why;
  return std::nullopt;
}

}  // namespace

bool isKnownLineRate(int rate) {
  return std::find(kKnownRates.begin(), kKnownRates.end(), rate) != kKnownRates.end();
}

std::optional<LineSettings> parseLineSettings(const QString& text, QString* problem) {
  const QStringList fields = text.split(QLatin1Char(','));
  if (fields.size() != 4) {
    return refuse(problem, QStringLiteral("「速度,パリティ,データ長,ストップビット」の形ではありません"
                                          " / expected speed,parity,data,stop"));
  }
  LineSettings line;
  bool ok = false;
  line.rate = fields[0].trimmed().toInt(&ok);
  if (!ok || !isKnownLineRate(line.rate)) {
    return refuse(problem, QStringLiteral("速度 %1 は使えません / unsupported speed").arg(fields[0].trimmed()));
  }
  const QString parity = fields[1].trimmed().toUpper();
  if (parity != QLatin1String("N") && parity != QLatin1String("E") && parity != QLatin1String("O")) {
    return refuse(problem, QStringLiteral("パリティ %1 は使えません (N, E, O のいずれか)"
                                          " / parity must be N, E or O")
                               .arg(fields[1].trimmed()));
  }
  line.parity = parity.at(0).toLatin1();
  line.dataBits = fields[2].trimmed().toInt(&ok);
  if (!ok || (line.dataBits != 7 && line.dataBits != 8)) {
    return refuse(problem, QStringLiteral("データ長 %1 は使えません (7 または 8) / data bits must be 7 or 8")
                               .arg(fields[2].trimmed()));
  }
  line.stopBits = fields[3].trimmed().toInt(&ok);
  if (!ok || (line.stopBits != 1 && line.stopBits != 2)) {
    return refuse(problem, QStringLiteral("ストップビット %1 は使えません (1 または 2) / stop bits must be 1 or 2")
                               .arg(fields[3].trimmed()));
  }
  return line;
}

quint8 withParityBit(quint8 byte, char parity) {
  const quint8 data = byte & 0x7F;
  if (parity != 'E' && parity != 'O') return data;
  const bool oddOnes = std::popcount(static_cast<unsigned>(data)) % 2 == 1;
  return (oddOnes == (parity == 'E')) ? quint8(data | 0x80) : data;
}

std::optional<quint8> checkParityBit(quint8 byte, char parity) {
  const quint8 data = byte & 0x7F;
  if (parity != 'E' && parity != 'O') return data;
  if (withParityBit(data, parity) != byte) return std::nullopt;
  return data;
}

}  // namespace korvane
