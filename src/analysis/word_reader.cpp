#include "analysis/word_reader.h"

#include <charconv>
#include <cmath>

namespace korvane {

namespace {

unsigned char fromByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x80 ? b : kOtherCharacter;
}

unsigned char fromQChar(QChar c) {
  const char16_t u = c.unicode();
  return u < 0x80 ? static_cast<unsigned char>(u) : kOtherCharacter;
}

}  // namespace

double WordScan::numberValue(const State& s) {
  double magnitude = 0;
  constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;  // every integer below is a double
  if (s.mantissa != 0) {
    if (s.mantissa <= kExactLimit && s.exponent == 0) {
      magnitude = static_cast<double>(s.mantissa);
    } else if (s.mantissa <= kExactLimit && s.exponent < 0 && s.exponent >= -22) {
      // Both operands are exact, so the one division rounds correctly.
      magnitude = static_cast<double>(s.mantissa) / word_scan::kExactPowersOfTen[-s.exponent];
    } else {
      char text[48];
      char* end = std::to_chars(text, text + 24, s.mantissa).ptr;  // at most 20 digits
      *end = 'e';
      end = std::to_chars(end + 1, text + sizeof text, s.exponent).ptr;
      const auto parsed = std::from_chars(text, end, magnitude);
      if (parsed.ec == std::errc::result_out_of_range) magnitude = s.exponent > 0 ? HUGE_VAL : 0.0;
    }
  }
  return s.negative ? -magnitude : magnitude;
}

std::optional<WordReading> findWord(std::string_view block, std::string_view address) {
  const size_t p = block.find(address);
  if (p == std::string_view::npos || address.empty()) return std::nullopt;
  WordScan scan;
  for (size_t i = p + 1; i < block.size() && scan.feed(fromByte(block[i])); ++i) {
  }
  return scan.reading();
}

std::optional<WordReading> findWord(QStringView block, QLatin1StringView address) {
  const qsizetype p = block.indexOf(address);
  if (p < 0 || address.isEmpty()) return std::nullopt;
  WordScan scan;
  for (qsizetype i = p + 1; i < block.size() && scan.feed(fromQChar(block[i])); ++i) {
  }
  return scan.reading();
}

std::optional<double> readWord(std::string_view block, std::string_view address) {
  const auto word = findWord(block, address);
  return word ? std::optional<double>(word->scaled()) : std::nullopt;
}

std::optional<double> readWord(QStringView block, QLatin1StringView address) {
  const auto word = findWord(block, address);
  return word ? std::optional<double>(word->scaled()) : std::nullopt;
}

}  // namespace korvane
