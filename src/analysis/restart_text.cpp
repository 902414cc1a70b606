#include "analysis/restart_text.h"

#include <cmath>

#include "analysis/decimal_format.h"
#include "analysis/machining_geometry.h"

namespace korvane::restart_text {

namespace {

QByteArray trimmedFixed(double value, int decimals, bool keepPoint) {
  std::string text = formatFixed(value, decimals);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.' && !keepPoint) text.pop_back();
  } else if (keepPoint) {
    text += '.';
  }
  if (text == "-0." || text == "-0") text.erase(0, 1);
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

QByteArray length(double millimetres, bool inch) {
  return inch ? trimmedFixed(millimetres / machining::kMillimetresPerInch, 4, true) : trimmedFixed(millimetres, 3, true);
}

QByteArray plain(double value) { return trimmedFixed(value, 6, false); }

QByteArray toolNumber(double value, int digits) {
  const QByteArray number = trimmedFixed(std::fabs(value), 0, false);
  return number.rightJustified(std::max<qsizetype>(digits, 1), '0');
}

QByteArray lineEndOf(QByteArrayView program) {
  for (qsizetype i = 0; i < program.size(); ++i) {
    if (program[i] == '\n') return QByteArray("\n");
    if (program[i] == '\r') return i + 1 < program.size() && program[i + 1] == '\n' ? QByteArray("\r\n") : QByteArray("\r");
  }
  return QByteArray("\r\n");
}

int lineEndLengthAt(QByteArrayView program, qsizetype at) {
  if (at >= program.size()) return 0;
  if (program[at] == '\n') return 1;
  if (program[at] == '\r') return at + 1 < program.size() && program[at + 1] == '\n' ? 2 : 1;
  return 0;
}

qsizetype wordsStartOf(QByteArrayView block) {
  qsizetype i = 0;
  const auto skipBlanks = [&] {
    while (i < block.size() && isBlank(block[i])) ++i;
  };
  skipBlanks();
  if (i < block.size() && block[i] == '/') {
    ++i;
    if (i < block.size() && isDigit(block[i])) ++i;
    skipBlanks();
  }
  if (i < block.size() && (block[i] == 'N' || block[i] == 'n')) {
    qsizetype j = i + 1;
    while (j < block.size() && isBlank(block[j])) ++j;
    if (j < block.size() && isDigit(block[j])) {
      while (j < block.size() && (isDigit(block[j]) || isBlank(block[j]))) ++j;
      i = j;
    }
  }
  return i;
}

QByteArray withWordsInFront(QByteArrayView block, const QByteArray& words) {
  const qsizetype at = wordsStartOf(block);
  QByteArray out;
  out.reserve(block.size() + words.size() + 1);
  out.append(block.first(at).toByteArray());
  out.append(words);
  if (at < block.size()) out.append(' ');
  out.append(block.sliced(at).toByteArray());
  return out;
}

}  // namespace korvane::restart_text
