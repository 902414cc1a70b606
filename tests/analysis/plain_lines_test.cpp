// A line of plain characters (no CR, LF or byte outside ASCII inside it) is read with its letters
// flagged beforehand and its numbers read many characters at a time. Its block must be exactly
// the one the character-by-character reading makes, however the line, its numbers and its end
// are written, with the numbers read by shuffling and without.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/block_splitter.h"
#include "analysis/shuffled_number.h"
#include "analysis/word_reader.h"
#include "block_test_support.h"

using namespace korvane;
using korvane::test::Block;
using korvane::test::Collect;

namespace {

// The blocks of `text` handed to the splitter in one piece: whole lines, with room to look ahead.
std::vector<Block> inOnePiece(const std::string& text) {
  Collect collect;
  BlockSplitter splitter(64);
  splitter.start(collect);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  EXPECT_EQ(splitter.process(p, p + text.size(), true), p + text.size());
  splitter.finish();
  return collect.blocks;
}

// The blocks of `text` read a character at a time into the smallest buffer: no line is ever whole
// in it, so every character is read one by one.
std::vector<Block> aCharacterAtATime(const std::string& text) {
  Collect collect;
  BlockSplitter splitter(BlockSplitter::kMinimumBufferSize);
  splitter.start(collect);
  size_t offset = 0;
  EXPECT_EQ(splitter.stream([&](unsigned char* to, qint64) -> qint64 {
    if (offset == text.size()) return 0;
    *to = static_cast<unsigned char>(text[offset++]);
    return 1;
  }),
            0);
  return collect.blocks;
}

void expectSameBlocks(const std::string& text) {
  const std::vector<Block> expected = aCharacterAtATime(text);
  const std::vector<Block> actual = inOnePiece(text);
  ASSERT_EQ(actual.size(), expected.size()) << text;
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "block " << i << " of\n" << text;
}

// Runs `check` with numbers read by shuffling (where this processor can) and without.
template <typename Check>
void bothWays(Check check) {
#ifdef KORVANE_SHUFFLED_NUMBER
  const bool shuffling = shuffled_number::inUse();
  for (const bool use : {true, false}) {
    SCOPED_TRACE(use ? "shuffled" : "not shuffled");
    shuffled_number::inUse() = use;
    check();
  }
  shuffled_number::inUse() = shuffling;
#else
  check();
#endif
}

// A number as it may follow an address: signs, up to 12 digits, no point, one or two, blanks.
std::string randomNumber(std::mt19937& random) {
  static const std::vector<std::string> signs = {"", "", "", "-", "-", "+", "--"};
  std::string number = signs[random() % signs.size()];
  const int digits = static_cast<int>(random() % 13);
  const int point = static_cast<int>(random() % (digits + 3)) - 1;  // -1 and past the end: none
  for (int i = 0; i < digits; ++i) {
    if (i == point) number += '.';
    number += static_cast<char>('0' + random() % 10);
  }
  if (point == digits) number += '.';
  if (random() % 40 == 0) number += ".5";  // a second point
  if (random() % 30 == 0) number += " 7";  // a blank inside
  number += std::string(random() % 4 == 0 ? random() % 3 : 0, ' ');
  if (random() % 40 == 0) number += '\t';
  return number;
}

// A program of NC lines with every kind of word, number, comment and line end; now and then a
// line of 64 characters or more, a character outside ASCII, a "%" or an empty line.
std::string randomProgram(std::mt19937& random, int lines) {
  static const std::string addresses = "GGXXYYZIJRFONMSgx";
  static const std::vector<std::string> lineEnds = {"\r\n", "\r\n", "\r\n", "\r\n", "\n", "\n", "\r", "\n\n", "\r\r\n"};
  static const std::vector<std::string> odd = {"%", "", "M30", "(ROUGHING G01 X5 FLAT END MILL)", "G", "G9",
                                               "X",  "\xE3\x81\x82", "\x83", "G90", "G91G0", "X1X2.5Y-3"};
  std::string text;
  for (int line = 0; line < lines; ++line) {
    if (random() % 8 == 0) {
      text += odd[random() % odd.size()];
    } else {
      const size_t words = random() % 7 + (random() % 25 == 0 ? 12 : 0);
      for (size_t w = 0; w < words; ++w) {
        const char address = addresses[random() % addresses.size()];
        text += address;
        if (address == 'G') text += static_cast<char>("0099123"[random() % 7]);
        text += randomNumber(random);
        if (random() % 3 == 0) text += ' ';
      }
    }
    text += lineEnds[random() % lineEnds.size()];
  }
  return text;
}

}  // namespace

TEST(PlainLines, GiveTheBlocksOfTheCharacterByCharacterReading) {
  const std::vector<std::string> texts = {
      "N10 G01 X-12.5 Y3. F200\r\nG02 X0 Y0 I-5.25 J0\r\n",
      "G91G00X1.Y-2.Z3.\nG90 G01 X10000 Y.5\nM30\n",
      // A line of 63 characters and one of 64, which is read character by character.
      std::string("X1") + std::string(61, ' ') + "\r\n" + "Y2" + std::string(62, ' ') + "\r\nZ3\r\n",
      // Words read for the first time only, comments included, and "G" cut off at the line end.
      "X1 X2 (X3) G03 G01\r\nG\r\nG9\r\n(G90)\r\nG0\r\n",
      // Numbers that only the character-by-character reading takes, between common ones.
      "X1 Y 2 Z3\r\nX+1 Y2\r\nX1.2.3 Y4\r\nX123456789012 Y-0.000000001\r\nX-\r\nX. Y-.\r\n",
      // An LF with at most one character after it in the record, and runs of LF.
      "X1\nY\r\nX1\nY2\n\nZ3\n\n\nX4\r\n%\n%\r\n",
      // Line ends of every kind, and characters outside ASCII within a line.
      "X1\rY2\r\r\nZ3\xE3\x81\x82Y4\r\nX5\x83\r\n\r\n",
  };
  bothWays([&] {
    for (const std::string& text : texts) expectSameBlocks(text + std::string(100, 'M'));
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) expectSameBlocks(randomProgram(random, 40));
  });
}

#ifdef KORVANE_SHUFFLED_NUMBER
// Every number the shuffling reader takes, it reads as the character-by-character reading does,
// and ends where that ends; what it leaves (more than eight digits, other shapes) the other
// readers then take.
TEST(ShuffledNumber, ReadsAsTheCharacterByCharacterReading) {
  const std::vector<std::string> endings = {"X", "(", "\r", "\n", " X", "  Y", " 1", "+", "-", ".", ":", "/", "\t",
                                            "\x80", "\xB1", "0"};
  for (const std::string sign : {"", "-", "+"}) {
    for (int digits = 0; digits <= 10; ++digits) {
      for (int point = -1; point <= digits; ++point) {
        std::string number = sign;
        for (int i = 0; i < digits; ++i) {
          if (i == point) number += '.';
          number += static_cast<char>('1' + (i * 7) % 9);
        }
        if (point == digits) number += '.';
        for (const std::string& ending : endings) {
          const std::string text = number + ending + std::string(32, 'M');
          const auto* p = reinterpret_cast<const unsigned char*>(text.data());
          const auto* end = p + text.size();
          WordDigits shuffled;
          const unsigned char* const shuffledEnd = shuffled_number::read(p, end, shuffled);
          // The usual shapes, not left to the other readers: "-" or no sign, at most eight digits
          // with a point among them or none, then a letter.
          if (sign != "+" && digits <= shuffled_number::kMostDigits && ending == "X") {
            EXPECT_TRUE(shuffledEnd) << text;
          }
          if (!shuffledEnd) {
            EXPECT_TRUE(digits + (ending == "0") > shuffled_number::kMostDigits || !WordScan::readCommon(p, end, shuffled))
                << text;
            continue;
          }
          WordScan scan;
          EXPECT_EQ(shuffledEnd, scan.feed(p, end)) << text;
          const WordReading expected = scan.reading();
          const WordReading actual = shuffled.reading();
          EXPECT_EQ(actual.number, expected.number) << text;
          EXPECT_EQ(std::signbit(actual.number), std::signbit(expected.number)) << text;
          EXPECT_EQ(actual.decimalPoint, expected.decimalPoint) << text;
        }
      }
    }
  }
}
#endif
