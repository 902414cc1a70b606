#pragma once
// What the tests of splitting compare: the blocks as the time estimate sees them.

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/block_splitter.h"

namespace korvane::test {

// What a block means to the time estimate; words not found and head bytes past the block's
// length are left over from earlier blocks and mean nothing.
struct Block {
  std::int64_t length = 0;
  std::string head;
  unsigned found = 0;
  unsigned points = 0;
  bool g90 = false;
  bool g91 = false;
  std::vector<std::pair<double, bool>> words;  // as read, and whether with a decimal point

  explicit Block(const BlockWords& w)
      : length(w.length),
        head(reinterpret_cast<const char*>(w.head.data()), static_cast<size_t>(std::min<std::int64_t>(w.length, 3))),
        found(w.found),
        points(w.points & w.found),
        g90(w.g90),
        g91(w.g91) {
    // A word may be held as its digits or as its value, depending on whether a read ended
    // within it; what counts is the value.
    for (int i = 0; i < kBlockWordCount; ++i) {
      if (const auto word = w.word(static_cast<BlockWord>(i))) words.emplace_back(word->number, word->decimalPoint);
    }
  }
  bool operator==(const Block&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Block& b) {
  out << "{length " << b.length << " head '" << b.head << "' found " << b.found << " points " << b.points << " g90 "
      << b.g90 << " g91 " << b.g91 << " words";
  for (const auto& [number, point] : b.words) out << ' ' << number << (point ? "(.)" : "");
  return out << '}';
}

class Collect final : public BlockConsumer {
 public:
  void take(const BlockWords& words) override { blocks.emplace_back(words); }
  std::vector<Block> blocks;
};


}  // namespace korvane::test
