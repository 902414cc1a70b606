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

class BlockScanner {
 public:
  // Takes the block's characters from p on up to the first CR, LF or byte outside ASCII (or
  // `end`), and returns where it stopped.
  const unsigned char* add(const unsigned char* p, const unsigned char* end);

  // One character: an ASCII character other than CR and LF, or kOtherCharacter.
  void add(unsigned char c);

  // Ends the block: a word still being read ends with it.
  void finish() {
    if (active_ >= 0) readings_[static_cast<size_t>(active_)] = scan_.reading();
    active_ = -1;
  }

  void reset() {
    length_ = 0;
    found_ = 0;
    active_ = -1;
    previous_ = 0;
    beforePrevious_ = 0;
    g90_ = false;
    g91_ = false;
  }

  std::int64_t length() const { return length_; }
  // Whether the whole block is exactly `text` (at most three characters).
  bool is(std::string_view text) const {
    if (length_ != static_cast<std::int64_t>(text.size())) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (head_[i] != static_cast<unsigned char>(text[i])) return false;
    }
    return true;
  }
  std::optional<WordReading> word(BlockWord w) const {
    const int index = static_cast<int>(w);
    if (!isFound(index)) return std::nullopt;
    return readings_[static_cast<size_t>(index)];
  }
  std::optional<double> value(BlockWord w) const {
    const auto reading = word(w);
    return reading ? std::optional<double>(reading->scaled()) : std::nullopt;
  }
  bool hasG90() const { return g90_; }
  bool hasG91() const { return g91_; }

 private:
  bool isFound(int index) const { return (found_ >> index) & 1u; }
  void keepHead(const unsigned char* p, const unsigned char* end);

  std::int64_t length_ = 0;
  std::array<unsigned char, 3> head_{};
  std::uint32_t found_ = 0;
  int active_ = -1;  // the word whose number is being read, or -1
  WordScan scan_;
  std::array<WordReading, kBlockWordCount> readings_{};
  unsigned char previous_ = 0;
  unsigned char beforePrevious_ = 0;
  bool g90_ = false;
  bool g91_ = false;
};

}  // namespace korvane
