#include "analysis/program_index.h"

#include <cmath>
#include <set>

#include "analysis/decimal_format.h"
#include "analysis/dnc_line_reader.h"

namespace korvane {

ProgramIndex::ProgramIndex(QByteArrayView data) {
  DncLineReader reader(data);
  std::set<double> seen;  // every nonzero number recorded so far, without any limit on their count
  qint64 position = 0;
  while (true) {
    const DncLine line = reader.read(position);
    const double value = DncLineText(line.bytes).programNumber();
    // NaN equals nothing, so no call could ever find it, nor could it repeat.
    if (!std::isnan(value)) {
      firstBody_.try_emplace(value, position);
      if (value != 0.0 && !seen.insert(value).second) {
        duplicateReport_ += QStringLiteral("  ") + programLabel(value) + QStringLiteral("\r\n");
      }
    }
    if (line.last) break;
  }
}

std::optional<qint64> ProgramIndex::bodyStart(double number) const {
  if (std::isnan(number)) return std::nullopt;
  const auto it = firstBody_.find(number);
  if (it == firstBody_.end()) return std::nullopt;
  return it->second;
}

QString programLabel(double number) {
  return QLatin1Char('O') + QString::fromStdString(formatFixed(number, 0));
}

}  // namespace korvane
