#pragma once
// Reads the words of one NC block while its characters stream past, without keeping the block:
// a block may be a whole file (a file with bare LF line ends is one line). What it keeps is what
// the time estimate asks of a block: its length in characters, its first characters (to tell an
// end of program), the first O, "G0", X, Y, Z, I, J, R and F words, and whether "G90" or "G91"
// occurs. Each word is read by the same WordScan as readWord() uses on a whole block.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "analysis/word_reader.h"

namespace korvane {

enum class BlockWord : int { O, G0, X, Y, Z, I, J, R, F };
inline constexpr int kBlockWordCount = 9;

// What one finished block holds for the time estimate; small enough to hand between threads.
struct alignas(16) BlockWords {
  std::int64_t length = 0;
  std::array<unsigned char, 3> head{};
  std::uint16_t found = 0;   // bit per BlockWord
  std::uint16_t points = 0;  // bit per BlockWord: written with a decimal point
  bool g90 = false;
  bool g91 = false;
  std::array<double, kBlockWordCount> numbers{};  // as written (X10. holds 10); 0 for a word not found

  bool isFound(int index) const { return (found >> index) & 1u; }
  // A word is set once per block, after the block started with no points.
  void set(int index, const WordReading& reading) {
    numbers[static_cast<size_t>(index)] = reading.number;
    points = static_cast<std::uint16_t>(points | (unsigned{reading.decimalPoint} << index));
  }
  void set(int index, const WordDigits& digits) { set(index, digits.reading()); }
  // Whether the whole block is exactly `text` (at most three characters).
  bool is(std::string_view text) const {
    if (length != static_cast<std::int64_t>(text.size())) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (head[i] != static_cast<unsigned char>(text[i])) return false;
    }
    return true;
  }
  std::optional<WordReading> word(BlockWord w) const {
    const int index = static_cast<int>(w);
    if (!isFound(index)) return std::nullopt;
    return WordReading{numbers[static_cast<size_t>(index)], ((points >> index) & 1u) != 0};
  }
  std::optional<double> value(BlockWord w) const {
    const auto reading = word(w);
    return reading ? std::optional<double>(reading->scaled()) : std::nullopt;
  }
  // The value in input units, 0 for a word not found: no branch on whether it was.
  double valueOrZero(BlockWord w) const {
    const int index = static_cast<int>(w);
    return WordReading{numbers[static_cast<size_t>(index)], ((points >> index) & 1u) != 0}.scaled();
  }
};

class BlockScanner {
 public:
  // Takes the block's characters from p on up to the first CR, LF or byte outside ASCII (or
  // `end`), and returns where it stopped.
  const unsigned char* add(const unsigned char* p, const unsigned char* end);

  // One character: an ASCII character other than CR and LF, or kOtherCharacter.
  void add(unsigned char c);

  // Ends the block: a word still being read ends with it.
  void finish() {
    if (active_ >= 0) words_.set(active_, scan_.reading());
    active_ = -1;
  }

  void reset() {
    words_.length = 0;
    words_.found = 0;
    words_.points = 0;
    words_.numbers = {};
    words_.g90 = false;
    words_.g91 = false;
    active_ = -1;
    previous_ = 0;
    beforePrevious_ = 0;
  }

  const BlockWords& words() const { return words_; }

  // No character of the block taken yet.
  bool isFresh() const { return words_.length == 0 && active_ < 0; }

  // Takes a whole line [start, start + length) of characters other than CR, LF and bytes outside
  // ASCII into a fresh block: `letters` flags (bit i for start[i]) every G, O, X, Y, Z, I, J, R
  // and F of it, and `end` lies at least kLookAhead characters past the line. False, with the
  // block left fresh, when a number on the line has a shape only the character-by-character
  // reading takes.
  bool readPlainLine(const unsigned char* start, int length, std::uint64_t letters, const unsigned char* end);

 private:
  template <bool kShuffled>
  bool readPlainLineWith(const unsigned char* start, int length, std::uint64_t letters, const unsigned char* end);
  void keepHead(const unsigned char* p, const unsigned char* end);
  // Reads the number of `word` starting at p unless the block had that word already; returns
  // where scanning goes on.
  const unsigned char* readWordAt(int word, const unsigned char* p, const unsigned char* end);
  // readWordAt() for a number of a shape that WordScan::readCommon() does not read.
  const unsigned char* readUncommonWord(int word, const unsigned char* p, const unsigned char* end);
  // Completes a "G0", "G90" or "G91" whose "G" (and "9") ended the previous span.
  const unsigned char* continueAfterG(const unsigned char* p, const unsigned char* end);

  BlockWords words_;
  int active_ = -1;  // the word whose number is being read, or -1
  WordScan scan_;
  unsigned char previous_ = 0;
  unsigned char beforePrevious_ = 0;
};

}  // namespace korvane
