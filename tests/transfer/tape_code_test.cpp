// The tape tables are checked against the rules they are built from (parity, the stated
// exceptions), computed here independently, not against a copy of the tables.
#include <gtest/gtest.h>

#include <bitset>
#include <set>

#include "transfer/tape_code.h"

using namespace korvane;

namespace {

const QString kSendable = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ+-.,/;():#*$ %&'<>?@[]=\"\n\r");

int ones(unsigned v) { return static_cast<int>(std::bitset<8>(v).count()); }

// ISO: 7-bit ASCII with bit 8 making the parity even.
quint8 isoByRule(char16_t c) { return static_cast<quint8>(c | (ones(c) % 2 ? 0x80 : 0)); }

}  // namespace

TEST(TapeCodeSend, IsoIsAsciiWithEvenParityForEveryListedCharacter) {
  EXPECT_EQ(kSendable.size(), 62);
  for (QChar c : kSendable) {
    const auto byte = convertSendCharacter(c, TapeCode::Iso);
    ASSERT_TRUE(byte.has_value()) << static_cast<int>(c.unicode());
    EXPECT_EQ(*byte, isoByRule(c.unicode())) << "character " << static_cast<int>(c.unicode());
    EXPECT_EQ(ones(*byte) % 2, 0);
  }
}

TEST(TapeCodeSend, EiaBytesHaveOddParityExceptBlankFrames) {
  std::set<char16_t> blank;
  for (QChar c : kSendable) {
    const auto byte = convertSendCharacter(c, TapeCode::Eia);
    if (c == QLatin1Char('\r')) {
      EXPECT_FALSE(byte.has_value()) << "CR has no EIA code";
      continue;
    }
    ASSERT_TRUE(byte.has_value()) << static_cast<int>(c.unicode());
    if (*byte == 0) {
      blank.insert(c.unicode());
    } else {
      EXPECT_EQ(ones(*byte) % 2, 1) << "character " << static_cast<int>(c.unicode());
    }
  }
  // Twelve characters have no RS-244 code and go out as a blank frame.
  const std::set<char16_t> expectBlank{'#', '*', '$', '\'', '<', '>', '?', '@', '[', ']', '=', '"'};
  EXPECT_EQ(blank, expectBlank);
}

TEST(TapeCodeSend, EiaQuirksAndCharactersWithoutEntry) {
  EXPECT_EQ(convertSendCharacter(':', TapeCode::Eia), convertSendCharacter('O', TapeCode::Eia));
  EXPECT_EQ(convertSendCharacter(';', TapeCode::Eia), std::optional<quint8>(0x80));
  EXPECT_EQ(convertSendCharacter('\n', TapeCode::Eia), std::optional<quint8>(0x80));
  for (QChar c : {QChar('g'), QChar('\t'), QChar(0x30A2), QChar('_'), QChar(0x1A), QChar('x')}) {
    EXPECT_FALSE(convertSendCharacter(c, TapeCode::Iso).has_value()) << static_cast<int>(c.unicode());
    EXPECT_FALSE(convertSendCharacter(c, TapeCode::Eia).has_value()) << static_cast<int>(c.unicode());
  }
}

TEST(TapeCodeReceive, IsoIsTheInverseWithColonAsOAndPlainCr) {
  int entries = 0;
  for (int b = 0; b < 256; ++b) {
    const auto c = convertReceivedByte(static_cast<quint8>(b), TapeCode::Iso, false);
    if (!c) continue;
    ++entries;
    if (b == 0x3A) {
      EXPECT_EQ(*c, QLatin1Char('O'));
    } else if (b == 0x0D) {
      EXPECT_EQ(*c, QLatin1Char('\r'));
    } else {
      EXPECT_EQ(convertSendCharacter(*c, TapeCode::Iso), std::optional<quint8>(b)) << b;
    }
  }
  EXPECT_EQ(entries, 62);
  EXPECT_FALSE(convertReceivedByte(0x8D, TapeCode::Iso, false).has_value());
}

TEST(TapeCodeReceive, IsoSevenBitPassesEveryByteUnchanged) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(convertReceivedByte(static_cast<quint8>(b), TapeCode::Iso, true), std::optional<QChar>(QChar(b)));
  }
}

TEST(TapeCodeReceive, EiaHasFortyEightEntries) {
  const QString receivable = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ+-.,/()%& ");
  int entries = 0;
  for (int b = 0; b < 256; ++b) {
    const auto c = convertReceivedByte(static_cast<quint8>(b), TapeCode::Eia, false);
    if (!c) continue;
    ++entries;
    if (b == 0x80) {
      EXPECT_EQ(*c, QLatin1Char('\n'));
    } else if (b == 0x00) {
      EXPECT_EQ(*c, QLatin1Char(' '));
    } else {
      EXPECT_TRUE(receivable.contains(*c)) << b;
      EXPECT_EQ(ones(static_cast<unsigned>(b)) % 2, 1) << b;
    }
  }
  EXPECT_EQ(entries, 48);
  EXPECT_EQ(convertReceivedByte(0x46, TapeCode::Eia, false), std::optional<QChar>('O'));
  EXPECT_EQ(convertReceivedByte(0x3B, TapeCode::Eia, false), std::optional<QChar>(','));
  // The digit 3 is 0x13 under EIA, the same byte as DC3.
  EXPECT_EQ(convertReceivedByte(0x13, TapeCode::Eia, false), std::optional<QChar>('3'));
}

TEST(TapeCodeProfile, CodeOneIsEiaAnythingElseIso) {
  PortProfile p;
  p.tapeCode = 1;
  EXPECT_EQ(tapeCodeOf(p), TapeCode::Eia);
  for (double v : {0.0, 2.0, -1.0, 1.5}) {
    p.tapeCode = v;
    EXPECT_EQ(tapeCodeOf(p), TapeCode::Iso) << v;
  }
  p.tapeCode = 0;
  p.dataBits = QStringLiteral("7");
  EXPECT_EQ(convertReceivedByte(0x8D, p), std::optional<QChar>(QChar(0x8D)));
}
