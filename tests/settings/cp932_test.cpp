// Code page 932 as the settings file and program text read and write it. The same tests run on
// Linux (ICU's table behind Qt) and on Windows (the system's code page 932, Qt there has no
// ICU): the double-byte table was read from ICU once into tests/data/cp932, and both platforms
// must give exactly those characters and write them back.
#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>

#include "settings/ini_file.h"

namespace korvane {
namespace {

QString hexOf(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ')); }

QString codePoints(const QString& text) {
  QStringList parts;
  for (const QChar c : text) parts << QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
  return parts.join(QLatin1Char(' '));
}

struct TableLine {
  int lead = 0;
  QString characters;  // one per trail byte 40-7E, 80-FC
};

QList<TableLine> loadTable() {
  QFile file(QStringLiteral(KORVANE_TEST_DATA_DIR "/cp932/double_byte_table.txt"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
  QList<TableLine> lines;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    if (raw.isEmpty() || raw.startsWith('#')) continue;
    const QList<QByteArray> fields = raw.split('\t');
    EXPECT_EQ(fields.size(), 2) << raw.constData();
    if (fields.size() != 2) continue;
    lines.append({fields[0].toInt(nullptr, 16), QString::fromUtf8(fields[1])});
  }
  return lines;
}

QList<int> trailBytes() {
  QList<int> trails;
  for (int t = 0x40; t <= 0xFC; ++t)
    if (t != 0x7F) trails << t;
  return trails;
}

TEST(Cp932Test, EveryDoubleByteCodeReadsAsTheTableSays) {
  const QList<TableLine> table = loadTable();
  ASSERT_EQ(table.size(), 60);  // leads 81-9F and E0-FC
  const QList<int> trails = trailBytes();
  int assigned = 0;
  int mismatches = 0;
  for (const TableLine& line : table) {
    ASSERT_EQ(line.characters.size(), trails.size()) << std::hex << line.lead;
    for (qsizetype i = 0; i < trails.size(); ++i) {
      const QByteArray code{1, char(line.lead)};
      const QByteArray pair = code + char(trails[i]);
      const QString got = decodeCp932(pair);
      const QString want(line.characters[i]);
      if (got != want && ++mismatches <= 20) {
        ADD_FAILURE() << hexOf(pair).toStdString() << " reads as " << codePoints(got).toStdString() << ", table says "
                      << codePoints(want).toStdString();
      }
      if (want[0] != QChar(0xFFFD)) ++assigned;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // The table is the full one: JIS X 0208, NEC row 13, both IBM extension blocks, user area.
  EXPECT_GT(assigned, 9000);
}

TEST(Cp932Test, EveryAssignedCharacterIsWrittenAsACodeThatReadsBackAsIt) {
  const QList<int> trails = trailBytes();
  for (const TableLine& line : loadTable()) {
    for (qsizetype i = 0; i < trails.size(); ++i) {
      const QString character(line.characters[i]);
      if (character[0] == QChar(0xFFFD)) continue;
      bool ok = false;
      const QByteArray written = encodeCp932(character, &ok);
      ASSERT_TRUE(ok) << codePoints(character).toStdString();
      ASSERT_EQ(written.size(), 2) << codePoints(character).toStdString();
      ASSERT_EQ(decodeCp932(written), character) << hexOf(written).toStdString();
    }
  }
}

TEST(Cp932Test, NamesOfTheSettingsFileHaveTheirKnownBytes) {
  // Half-width katakana keys and a kanji section, as Windows writes them.
  EXPECT_EQ(encodeCp932(QStringLiteral("ｽﾋﾟｰﾄﾞ")), QByteArray("\xBD\xCB\xDF\xB0\xC4\xDE"));
  EXPECT_EQ(encodeCp932(QStringLiteral("参照")), QByteArray("\x8E\x51\x8F\xC6"));
  EXPECT_EQ(encodeCp932(QStringLiteral("装置名")), QByteArray("\x91\x95\x92\x75\x96\xBC"));
  EXPECT_EQ(encodeCp932(QStringLiteral("C:\\NC\\～")), QByteArray("C:\\NC\\\x81\x60"));
  EXPECT_EQ(decodeCp932(QByteArray("\x8E\x51\x8F\xC6")), QStringLiteral("参照"));
  EXPECT_EQ(decodeCp932(QByteArray("\x87\x40\xFA\x40\xF0\x40")), QStringLiteral("①ⅰ\uE000"));
}

TEST(Cp932Test, AsciiStaysAsciiBothWays) {
  // ICU's Shift_JIS table swaps 0x1A, 0x1C and 0x7F (an IBM host convention); code page 932
  // does not, and neither may a value read from the settings file.
  for (int b = 0; b < 0x80; ++b) {
    const QByteArray byte(1, char(b));
    EXPECT_EQ(decodeCp932(byte), QString(QChar(b))) << b;
    bool ok = false;
    EXPECT_EQ(encodeCp932(QString(QChar(b)), &ok), byte) << b;
    EXPECT_TRUE(ok) << b;
  }
}

TEST(Cp932Test, BytesThatStartNoCharacterReadAsTheSubstitute) {
  EXPECT_EQ(decodeCp932(QByteArray("\x80\xA0\xFD\xFE\xFF")), QString(5, QChar(0x1A)));
  // A lead byte before a byte that cannot follow it: the substitute, then that byte on its own.
  EXPECT_EQ(decodeCp932(QByteArray("\x81 A")), QStringLiteral("\x1A A"));
  EXPECT_EQ(decodeCp932(QByteArray("\x81\x7F")), QStringLiteral("\x1A\x7F"));
  // A code in the right form that the table leaves unassigned.
  EXPECT_EQ(decodeCp932(QByteArray("\x85\x40")), QString(QChar(0xFFFD)));
  // Half a character at the end is left out rather than guessed.
  EXPECT_EQ(decodeCp932(QByteArray("A\x81")), QStringLiteral("A"));
  EXPECT_EQ(decodeCp932(QByteArray("\xB1\xDF")), QStringLiteral("ｱﾟ"));
}

TEST(Cp932Test, CharactersWithoutACodeAreRefused) {
  for (const QString& text : {QStringLiteral("é"), QStringLiteral("¥"), QStringLiteral("\U0001F600"),
                              QString(QChar(0xD800)), QStringLiteral("〜")}) {
    bool ok = true;
    encodeCp932(QStringLiteral("ab") + text, &ok);
    EXPECT_FALSE(ok) << codePoints(text).toStdString();
  }
}

#ifndef Q_OS_WIN
// Where ICU is there (Linux), the byte structure read here gives what Qt's own Shift_JIS decoder
// gives for any bytes, apart from the three swapped control characters.
TEST(Cp932Test, ReadsArbitraryBytesAsTheIcuDecoderDoes) {
  QRandomGenerator random(932);
  const QList<uchar> interesting{0x00, 0x1A, 0x20, 0x40, 0x5C, 0x7E, 0x7F, 0x80, 0x81, 0x9F, 0xA0,
                                 0xA1, 0xDF, 0xE0, 0xEA, 0xED, 0xF0, 0xFA, 0xFC, 0xFD, 0xFF};
  for (int round = 0; round < 3000; ++round) {
    QByteArray bytes;
    const int length = 1 + int(random.bounded(12));
    for (int i = 0; i < length; ++i)
      bytes.append(char(random.bounded(2) ? interesting[random.bounded(int(interesting.size()))] : random.bounded(256)));
    QStringDecoder icu("Shift_JIS");
    QString expected = icu.decode(bytes);
    for (QChar& c : expected) {
      if (c == QChar(0x1C)) c = QChar(0x1A);
      else if (c == QChar(0x7F)) c = QChar(0x1C);
      else if (c == QChar(0x1A)) c = QChar(0x7F);
    }
    // The swap above restores the byte for ASCII input only; substitutes stay substitutes.
    QString got = decodeCp932(bytes);
    for (qsizetype i = 0; i < got.size() && i < expected.size(); ++i) {
      if (got[i] == QChar(0x1A) && expected[i] == QChar(0x7F)) expected[i] = QChar(0x1A);
    }
    ASSERT_EQ(codePoints(got), codePoints(expected)) << hexOf(bytes).toStdString();
  }
}
#endif

}  // namespace
}  // namespace korvane
