// The word reader: first occurrence, "G0", the ×1000 rule of the decimal point, and a block
// read piece by piece giving exactly what the whole block gives.
#include <gtest/gtest.h>

#include <random>

#include <QString>
#include <cstdlib>
#include <string>

#include "analysis/block_scanner.h"
#include "analysis/word_reader.h"

using namespace korvane;

namespace {

double read(std::string_view block, std::string_view address) {
  const auto value = readWord(block, address);
  EXPECT_TRUE(value.has_value()) << block << " / " << address;
  return value.value_or(-999999);
}

}  // namespace

TEST(WordReader, MotionModeIsReadAfterG0) {
  EXPECT_EQ(read("G01 X10.", "G0"), 1);
  EXPECT_EQ(read("G02 X10. R5.", "G0"), 2);
  EXPECT_EQ(read("G00 X0", "G0"), 0);
  EXPECT_EQ(read("G04 P1000", "G0"), 4);
  EXPECT_EQ(read("G90 G00 X0 Y0", "G0"), 0);  // "G90" holds no "G0"
  EXPECT_FALSE(readWord("G1 X5.", "G0").has_value());
  EXPECT_FALSE(readWord("G17 G90", "G0").has_value());
}

TEST(WordReader, DecimalPointMeansMillimetres) {
  EXPECT_EQ(read("X10.", "X"), 10000);
  EXPECT_EQ(read("X10000", "X"), 10000);
  EXPECT_EQ(read("X-10.5 Y0", "X"), -10500);
  EXPECT_EQ(read("X.5", "X"), 500);
  EXPECT_EQ(read("X-.5", "X"), -500);
  EXPECT_EQ(read("Y0", "Y"), 0);
}

TEST(WordReader, BlanksAreSkippedInsideTheNumber) {
  EXPECT_EQ(read("X 1 0 . 5 Y2", "X"), 10500);
  EXPECT_EQ(read("X - 5.", "X"), -5000);
}

TEST(WordReader, PointScanRunsOverDigitsBlanksMinusAndPoint) {
  // The number stops at "-", the scan goes on and meets the point.
  EXPECT_EQ(read("X10-.5", "X"), 10000);
  // "+" ends the scan at once: no scaling although the number has a point.
  EXPECT_EQ(read("X+10.", "X"), 10);
  // A second point ends the number (1.2), the scan still saw a point.
  EXPECT_EQ(read("Y1.2.3", "Y"), 1200);
  // The scan stops at the next letter: the point of Y does not scale X.
  EXPECT_EQ(read("X10 Y5.", "X"), 10);
}

TEST(WordReader, FirstOccurrenceAnywhereIncludingComments) {
  EXPECT_EQ(read("X1 X2.", "X"), 1);
  EXPECT_EQ(read("(MAX 5) X10.", "X"), 5);
  EXPECT_EQ(read("(FACE) F200", "F"), 0);  // no number after the F of FACE
  EXPECT_EQ(read("XY", "X"), 0);
  EXPECT_EQ(read("X", "X"), 0);
  EXPECT_FALSE(readWord("x10.", "X").has_value());  // case-sensitive
  EXPECT_FALSE(readWord("", "X").has_value());
}

TEST(WordReader, FeedKeepsTheNumberAsWritten) {
  const auto f = findWord(std::string_view("G01 X1. F100."), "F");
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->number, 100);
  EXPECT_TRUE(f->decimalPoint);
  EXPECT_EQ(f->scaled(), 100000);
}

TEST(WordReader, NumbersReadAsTheirDecimalValue) {
  EXPECT_EQ(read("X0.1", "X"), 0.1 * 1000);
  EXPECT_EQ(read("X123.456", "X"), 123.456 * 1000);
  EXPECT_EQ(read("O0012", "O"), 12);
  // More digits than a double holds still land on the nearest double.
  EXPECT_EQ(read("X12345678901234567890123", "X"), std::strtod("12345678901234567890123", nullptr));
  EXPECT_EQ(read("X0.000000000000000000000000123", "X"), std::strtod("0.000000000000000000000000123", nullptr) * 1000);
}

TEST(WordReader, TextOverloadTreatsNonAsciiAsOtherCharacters) {
  const QString block = QStringLiteral("（ソX）X10.");
  const auto x = readWord(QStringView(block), QLatin1StringView("X"));
  ASSERT_TRUE(x.has_value());
  EXPECT_EQ(*x, 0);  // the X inside the comment comes first and has no number
  EXPECT_EQ(readWord(QStringView(QStringLiteral("X1０.")), QLatin1StringView("X")), 1);  // a full-width digit ends it
  EXPECT_EQ(readWord(QStringView(QStringLiteral("P12 L3")), QLatin1StringView("L")), 3);
}

// A block fed to the streaming scanner in two pieces, split anywhere, reads every word as
// readWord reads it on the whole block.
TEST(BlockScanner, AgreesWithWordReaderAtEverySplit) {
  const std::string blocks[] = {
      "G90 G00 X0 Y0",   "G01 X100. F200",       "N10 G91G02X-1.5Y 2 .I0J-10.R5.F100.", "G0X1G0Y2",
      "(MAX 5) X10. F1", "X10-.5 Y1.2.3 Z+10.", "G4 G1 G0 9",                         "O0012 G0-.5",
      "G9G90G91 G00",    "X Y Z I J R F O",     "F-0 X+ Y- Z.",                        "G01X12345678901234567890123Y.000001",
      "X123456789012345 Y1234567890.12345 Z1234567890123456", "X1.\tY2 Z-0.0 I12(J3)R-", "X--5 Y-+5 Z+-5 F1..2",
  };
  const std::pair<BlockWord, std::string_view> addresses[] = {
      {BlockWord::O, "O"}, {BlockWord::G0, "G0"}, {BlockWord::X, "X"}, {BlockWord::Y, "Y"}, {BlockWord::Z, "Z"},
      {BlockWord::I, "I"}, {BlockWord::J, "J"},   {BlockWord::R, "R"}, {BlockWord::F, "F"},
  };
  for (const std::string& block : blocks) {
    for (size_t split = 0; split <= block.size(); ++split) {
      BlockScanner scanner;
      const auto* p = reinterpret_cast<const unsigned char*>(block.data());
      EXPECT_EQ(scanner.add(p, p + split), p + split);
      EXPECT_EQ(scanner.add(p + split, p + block.size()), p + block.size());
      scanner.finish();
      EXPECT_EQ(scanner.words().length, static_cast<std::int64_t>(block.size()));
      for (const auto& [word, address] : addresses) {
        const auto expected = findWord(block, address);
        const auto actual = scanner.words().word(word);
        ASSERT_EQ(actual.has_value(), expected.has_value()) << block << " / " << address << " split " << split;
        if (expected) {
          EXPECT_EQ(actual->number, expected->number) << block << " / " << address << " split " << split;
          EXPECT_EQ(actual->decimalPoint, expected->decimalPoint) << block << " / " << address << " split " << split;
        }
      }
      EXPECT_EQ(scanner.words().g90, block.find("G90") != std::string::npos) << block;
      EXPECT_EQ(scanner.words().g91, block.find("G91") != std::string::npos) << block;
    }
  }
}

// Random blocks, long enough for the look-ahead reading of numbers, fed whole, in two pieces
// and a character at a time: the same words as readWord reads, and "G90"/"G91" wherever they
// stand, split across pieces included.
TEST(BlockScanner, AgreesWithWordReaderOnRandomBlocks) {
  std::mt19937 random(11);
  // With the neighbours of the digits and the point ("/" and ":"), which a reader taking eight
  // characters at once must not mistake for them, and a tab, which ends no number.
  const std::string alphabet = "GGG0009911XYZIJRFO..--+  (N)M/:\t";
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> digits(0, 18);
  const std::string addresses[] = {"O", "G0", "X", "Y", "Z", "I", "J", "R", "F"};
  for (int round = 0; round < 3000; ++round) {
    std::string block;
    while (block.size() < 40) {
      block += alphabet[pick(random)];
      if (random() % 3 == 0) block += std::string(static_cast<size_t>(digits(random)), static_cast<char>('0' + random() % 10));
    }
    // The look-ahead needs room past the block: the rest of a buffer, as the splitter gives.
    const std::string buffer = block + "\r" + std::string(32, 'M');
    const auto* p = reinterpret_cast<const unsigned char*>(buffer.data());
    const size_t split = random() % (block.size() + 1);
    BlockScanner whole;
    BlockScanner halves;
    BlockScanner single;
    EXPECT_EQ(whole.add(p, p + buffer.size()), p + block.size());
    halves.add(p, p + split);
    EXPECT_EQ(halves.add(p + split, p + buffer.size()), p + block.size());
    for (char c : block) single.add(static_cast<unsigned char>(c));
    for (BlockScanner* scanner : {&whole, &halves, &single}) {
      scanner->finish();
      for (size_t w = 0; w < std::size(addresses); ++w) {
        const auto expected = findWord(block, addresses[w]);
        const auto actual = scanner->words().word(static_cast<BlockWord>(w));
        ASSERT_EQ(actual.has_value(), expected.has_value()) << block << " / " << addresses[w];
        if (expected) {
          EXPECT_EQ(actual->number, expected->number) << block << " / " << addresses[w] << " split " << split;
          EXPECT_EQ(actual->decimalPoint, expected->decimalPoint) << block << " / " << addresses[w];
        }
      }
      EXPECT_EQ(scanner->words().g90, block.find("G90") != std::string::npos) << block;
      EXPECT_EQ(scanner->words().g91, block.find("G91") != std::string::npos) << block;
    }
  }
}

TEST(BlockScanner, StopsAtLineEndsAndBytesOutsideAscii) {
  const std::string text = "X1\rY2\nZ3\x83X";
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  BlockScanner scanner;
  EXPECT_EQ(scanner.add(p, p + text.size()), p + 2);
  EXPECT_EQ(scanner.add(p + 3, p + text.size()), p + 5);
  EXPECT_EQ(scanner.add(p + 6, p + text.size()), p + 8);
  scanner.add(kOtherCharacter);
  scanner.finish();
  EXPECT_EQ(scanner.words().length, 2 + 2 + 2 + 1);
  EXPECT_EQ(scanner.words().value(BlockWord::X), 1);
  EXPECT_EQ(scanner.words().value(BlockWord::Z), 3);
}

// With room to look ahead, a number is read several characters at a time; it still ends at a
// line end or a byte outside ASCII, whatever its length.
TEST(BlockScanner, NumbersReadAtOnceEndAtLineEndsAndBytesOutsideAscii) {
  const std::string lookAhead(32, 'M');
  // "\xB1" (a half-width katakana in Shift-JIS) has the low bits of the digit "1".
  for (const std::string ending : {"\r", "\n", "\x83", "\xB1", "\xE3\x81\x82"}) {
    for (const std::string number : {"-12.5", "7", "1234567", "-.25", "123.4567", "9.", "-"}) {
      const std::string text = "X" + number + ending + lookAhead;
      const auto* p = reinterpret_cast<const unsigned char*>(text.data());
      BlockScanner scanner;
      EXPECT_EQ(scanner.add(p, p + text.size()), p + 1 + number.size()) << number;
      scanner.finish();
      const auto expected = findWord("X" + number, "X");
      const auto actual = scanner.words().word(BlockWord::X);
      ASSERT_TRUE(actual.has_value()) << number;
      EXPECT_EQ(actual->number, expected->number) << number;
      EXPECT_EQ(actual->decimalPoint, expected->decimalPoint) << number;
    }
  }
}

TEST(BlockScanner, TellsTheWholeBlockText) {
  BlockScanner scanner;
  const std::string m30 = "M30";
  const auto* p = reinterpret_cast<const unsigned char*>(m30.data());
  scanner.add(p, p + 3);
  EXPECT_TRUE(scanner.words().is("M30"));
  EXPECT_FALSE(scanner.words().is("M3"));
  scanner.add(' ');
  EXPECT_FALSE(scanner.words().is("M30"));
  scanner.reset();
  EXPECT_TRUE(scanner.words().is(""));
  scanner.add('%');
  EXPECT_TRUE(scanner.words().is("%"));
}
