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

// What a block means to the time estimate: the values of words not found mean nothing.
struct Block {
  std::int64_t length = 0;
  unsigned found = 0;
  unsigned points = 0;
  std::string codes;  // the G code groups and flags
  std::vector<double> words;

  explicit Block(const BlockWords& w) : length(w.length), found(w.found), points(w.points) {
    for (int g = 0; g < kGroupCount; ++g) codes += std::to_string(w.code(static_cast<Group>(g))) + ' ';
    for (int code : {int{w.flags}, int{w.pDigits}}) codes += std::to_string(code) + ' ';
    for (int i = 0; i < kAddressCount; ++i) {
      if (w.has(static_cast<Address>(i))) words.push_back(w.number(static_cast<Address>(i)));
    }
  }
  bool operator==(const Block&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Block& b) {
  out << "{length " << b.length << " found " << b.found << " points " << b.points << " codes " << b.codes << "words";
  for (double number : b.words) out << ' ' << number;
  return out << '}';
}

class Collect final : public BlockConsumer {
 public:
  void take(const BlockWords& words) override { blocks.emplace_back(words); }
  std::vector<Block> blocks;
};


}  // namespace korvane::test
