// Whole plain lines are read by a reader of their own, faster than the character-by-character
// reading that every other stretch of a file goes through. Both must give the same block for any
// line: random lines of every shape a word can take are read once where the line reader runs
// (a large buffer) and once where it never does (the smallest buffer, one byte at a time).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "analysis/block_scanner.h"
#include "analysis/block_splitter.h"
#include "block_test_support.h"

using namespace korvane;
using korvane::test::Block;
using korvane::test::Collect;

namespace {

std::vector<Block> split(const std::string& text, qsizetype bufferSize, qint64 maxRead) {
  Collect collect;
  BlockSplitter splitter(bufferSize);
  splitter.start(collect);
  size_t offset = 0;
  splitter.stream([&](unsigned char* to, qint64 room) {
    const auto count = static_cast<size_t>(std::min<qint64>({room, maxRead, static_cast<qint64>(text.size() - offset)}));
    std::copy_n(text.data() + offset, count, to);
    offset += count;
    return static_cast<qint64>(count);
  });
  return collect.blocks;
}

std::string randomLine(std::mt19937& random) {
  const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  static const std::string letters = "GXYZIJKRFPQLSUOMNgxyzmo:T";
  std::string line;
  const int words = pick(7);
  for (int w = 0; w < words; ++w) {
    if (pick(10) == 0) line += "(T1 X5. O7 M30)";
    if (pick(4) == 0) line += ' ';
    line += letters[static_cast<size_t>(pick(static_cast<int>(letters.size())))];
    if (pick(6) == 0) line += ' ';
    const int sign = pick(6);
    if (sign == 0) line += '-';
    if (sign == 1) line += '+';
    const int digits = pick(8) == 0 ? pick(22) : pick(6);
    const int pointAt = pick(3) == 0 ? -1 : pick(digits + 1);
    for (int d = 0; d <= digits; ++d) {
      if (d == pointAt) line += '.';
      if (d < digits) line += static_cast<char>('0' + pick(10));
      if (d < digits && pick(25) == 0) line += ' ';
    }
    if (pick(30) == 0) line += '.';
    if (pick(30) == 0) line += "#1";
  }
  if (pick(8) == 0) line += " ;X9. M99";
  if (pick(12) == 0) line += "(OPEN";
  if (pick(20) == 0) line = "%";
  return line;
}

}  // namespace

TEST(PlainLineReading, GivesTheBlocksOfTheCharacterByCharacterReading) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
      text += randomLine(random);
      const int end = std::uniform_int_distribution<int>(0, 4)(random);
      text += end == 0 ? "\n" : end == 1 ? "\r" : "\r\n";
    }
    const auto whole = split(text, 1 << 20, 1 << 20);
    const auto byCharacter = split(text, BlockSplitter::kMinimumBufferSize, 1);
    ASSERT_EQ(whole.size(), byCharacter.size()) << text;
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(whole[i], byCharacter[i]) << "block " << i << " of\n" << text;
  }
}

TEST(PlainLineReading, ReadsWordsAsAControlDoes) {
  const auto read = [](const std::string& line) {
    BlockWords w = readBlockWords(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
    return w;
  };
  const BlockWords a = read("n10 g1 x-12.5 y 3. (X99 O12) F200 ; Z7.");
  EXPECT_EQ(a.code(Group::Motion), 1);
  EXPECT_EQ(a.number(Address::X), -12.5);
  EXPECT_EQ(a.number(Address::Y), 3.0);
  EXPECT_EQ(a.number(Address::F), 200.0);
  EXPECT_FALSE(a.has(Address::Z));
  EXPECT_FALSE(a.has(Address::O));
  const BlockWords b = read("G90G17G21G94G98 G81 G43 Z15. H01 M30");
  EXPECT_EQ(b.code(Group::Distance), 90);
  EXPECT_EQ(b.code(Group::Plane), 17);
  EXPECT_EQ(b.code(Group::Units), 21);
  EXPECT_EQ(b.code(Group::FeedMode), 94);
  EXPECT_EQ(b.code(Group::Retract), 98);
  EXPECT_EQ(b.code(Group::Motion), 81);
  EXPECT_TRUE(b.is(BlockWords::kProgramEnd));
  const BlockWords c = read("G43.4 G001 X1 2.5");
  EXPECT_EQ(c.code(Group::Motion), 1);
  EXPECT_EQ(c.number(Address::X), 12.5);
}
