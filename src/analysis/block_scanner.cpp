#include "analysis/block_scanner.h"

namespace korvane {

namespace {

// What a character means to a block outside of a word being read.
enum Role : std::uint8_t { kPass, kEnd, kZero, kOne, kWordLetter };

constexpr std::array<std::uint8_t, 256> kRole = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0x80; c < 0x100; ++c) table[static_cast<size_t>(c)] = kEnd;
  table['\r'] = kEnd;
  table['\n'] = kEnd;
  table['0'] = kZero;
  table['1'] = kOne;
  for (unsigned char c : {'O', 'X', 'Y', 'Z', 'I', 'J', 'R', 'F'}) table[c] = kWordLetter;
  return table;
}();

constexpr std::array<std::int8_t, 256> kLetterWord = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  table['O'] = static_cast<std::int8_t>(BlockWord::O);
  table['X'] = static_cast<std::int8_t>(BlockWord::X);
  table['Y'] = static_cast<std::int8_t>(BlockWord::Y);
  table['Z'] = static_cast<std::int8_t>(BlockWord::Z);
  table['I'] = static_cast<std::int8_t>(BlockWord::I);
  table['J'] = static_cast<std::int8_t>(BlockWord::J);
  table['R'] = static_cast<std::int8_t>(BlockWord::R);
  table['F'] = static_cast<std::int8_t>(BlockWord::F);
  return table;
}();

constexpr int kG0 = static_cast<int>(BlockWord::G0);

}  // namespace

void BlockScanner::keepHead(const unsigned char* p, const unsigned char* end) {
  for (std::int64_t i = length_; i < static_cast<std::int64_t>(head_.size()) && p < end; ++i) {
    head_[static_cast<size_t>(i)] = *p++;
  }
}

void BlockScanner::add(unsigned char c) {
  if (c == kOtherCharacter) {
    // Not part of any word, and no address or "G90" goes through it.
    keepHead(&c, &c + 1);
    ++length_;
    finish();
    beforePrevious_ = previous_;
    previous_ = c;
    return;
  }
  add(&c, &c + 1);
}

const unsigned char* BlockScanner::add(const unsigned char* p, const unsigned char* end) {
  const unsigned char* const start = p;
  // The two characters before p: from the span itself, or from the block before the span.
  // Characters that a word took are digits, blanks, signs and points, never a "G", so they
  // can neither start "G0" nor come between "G" and "90".
  const auto before = [&](const unsigned char* q, std::ptrdiff_t back) -> unsigned char {
    const std::ptrdiff_t inSpan = q - start;
    if (back <= inSpan) return q[-back];
    return back - inSpan == 1 ? previous_ : beforePrevious_;
  };
  while (p < end) {
    if (active_ >= 0) {
      p = scan_.feed(p, end);
      if (p == end) break;
      readings_[static_cast<size_t>(active_)] = scan_.reading();
      active_ = -1;
    }
    while (p < end && kRole[*p] == kPass) ++p;
    if (p == end) break;
    const unsigned char c = *p;
    const std::uint8_t role = kRole[c];
    if (role == kEnd) break;
    int word = -1;
    if (role == kWordLetter) {
      word = kLetterWord[c];
      ++p;  // the number starts after the letter
    } else {
      const unsigned char previous = before(p, 1);
      if (previous == 'G' && role == kZero) {
        word = kG0;  // the number of "G0" starts at its "0"
      } else {
        if (previous == '9' && before(p, 2) == 'G') (role == kZero ? g90_ : g91_) = true;
        ++p;
        continue;
      }
    }
    if (isFound(word)) {
      if (word == kG0) ++p;
      continue;
    }
    found_ |= 1u << word;
    if (const unsigned char* after = WordScan::readCommon(p, end, readings_[static_cast<size_t>(word)])) {
      p = after;
      continue;
    }
    WordScan scan;  // a local scan stays in registers
    p = scan.feed(p, end);
    if (p == end) {
      scan_ = scan;
      active_ = word;
      break;
    }
    readings_[static_cast<size_t>(word)] = scan.reading();
  }
  if (p != start) {
    beforePrevious_ = before(p, 2);
    previous_ = p[-1];
  }
  keepHead(start, p);
  length_ += p - start;
  return p;
}

}  // namespace korvane
