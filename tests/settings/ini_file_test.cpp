// The INI reader and writer on their own: the reading rules of the classic profile functions,
// CP932 bytes, and the promise that a write changes only the lines it writes.
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <limits>

#include "support/cp932_iconv.h"

namespace korvane {
namespace {

using test::iconvDecodeCp932;
using test::iconvEncodeCp932;
using test::readFileBytes;
using test::writeFileBytes;

class IniFileTest : public ::testing::Test {
 protected:
  QString path() const { return dir_.filePath(QStringLiteral("korvane.ini")); }
  // Writes text as CP932 through iconv with the given line end.
  void writeText(const QString& text, const char* lineEnd = "\n") {
    QByteArray bytes = iconvEncodeCp932(text);
    bytes.replace("\n", lineEnd);
    ASSERT_TRUE(writeFileBytes(path(), bytes));
  }
  QTemporaryDir dir_;
};

// ---- reading -------------------------------------------------------------------------------

TEST_F(IniFileTest, ReadsLfAndCrLfFilesAlike) {
  const QString text = QStringLiteral("[COM1]\nｽﾋﾟｰﾄﾞ=4800\n装置名=旋盤\n[参照]\nﾌｨﾙﾀ=*.nc;*.txt\n");
  for (const char* lineEnd : {"\n", "\r\n"}) {
    SCOPED_TRACE(lineEnd[0] == '\r' ? "CR LF" : "LF");
    writeText(text, lineEnd);
    const IniFile ini = IniFile::load(path());
    EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ")), QStringLiteral("4800"));
    EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("装置名")), QStringLiteral("旋盤"));
    EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("ﾌｨﾙﾀ")), QStringLiteral("*.nc;*.txt"));
  }
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesNoValue) {
  EXPECT_FALSE(IniFile::load(path()).value(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ")));
  writeText(QStringLiteral("[COM1]\nｽﾋﾟｰﾄﾞ=4800\n[COM2]\n"));
  const IniFile ini = IniFile::load(path());
  EXPECT_FALSE(ini.value(QStringLiteral("COM3"), QStringLiteral("ｽﾋﾟｰﾄﾞ")));
  EXPECT_FALSE(ini.value(QStringLiteral("COM1"), QStringLiteral("ﾊﾟﾘﾃｨ")));
  // A key of another section is not found in a section that lacks it.
  EXPECT_FALSE(ini.value(QStringLiteral("COM2"), QStringLiteral("ｽﾋﾟｰﾄﾞ")));
}

TEST_F(IniFileTest, ValueIsTrimmedOfSurroundingBlanksOnly) {
  writeText(QStringLiteral("[参照]\nadress =  a b@c \t\nﾋﾞｭｰﾜ=   \nｴﾃﾞｨﾀ=\n"));
  const IniFile ini = IniFile::load(path());
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("adress")), QStringLiteral("a b@c"));
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("ﾋﾞｭｰﾜ")), QStringLiteral(""));
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("ｴﾃﾞｨﾀ")), QStringLiteral(""));
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreAsciiCase) {
  writeText(QStringLiteral("[com2]\nwaittime=250\n"));
  const IniFile ini = IniFile::load(path());
  EXPECT_EQ(ini.value(QStringLiteral("COM2"), QStringLiteral("Waittime")), QStringLiteral("250"));
}

TEST_F(IniFileTest, HalfWidthKatakanaKeysAreDistinct) {
  // ﾌｨｰﾄﾞ長 and ﾌｨｰﾄﾞ長2 share a prefix; ﾌｨﾙﾀ and ﾌｫﾙﾀﾞ differ in one single-byte letter.
  writeText(QStringLiteral("[COM1]\nﾌｨｰﾄﾞ長2=7\nﾌｨｰﾄﾞ長=5\n[参照]\nﾌｫﾙﾀﾞ=/nc\nﾌｨﾙﾀ=*.nc\n"));
  const IniFile ini = IniFile::load(path());
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("ﾌｨｰﾄﾞ長")), QStringLiteral("5"));
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("ﾌｨｰﾄﾞ長2")), QStringLiteral("7"));
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("ﾌｫﾙﾀﾞ")), QStringLiteral("/nc"));
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("ﾌｨﾙﾀ")), QStringLiteral("*.nc"));
}

// ---- the 255-byte limit ---------------------------------------------------------------------

struct CutCase {
  const char* name;
  QString stored;
  QString expected;
};

TEST_F(IniFileTest, LongValuesAreCutTo255BytesWithoutSplittingACharacter) {
  const QList<CutCase> cases = {
      {"300 ASCII bytes", QString(300, QLatin1Char('x')), QString(255, QLatin1Char('x'))},
      {"exactly 255 bytes", QString(255, QLatin1Char('y')), QString(255, QLatin1Char('y'))},
      // Half-width katakana are one byte each and are not lead bytes.
      {"300 half-width katakana", QString(300, QChar(0xFF71)), QString(255, QChar(0xFF71))},
      // 亜 is 88 9F: its trail byte lies in the lead-byte range.
      {"double-byte ending at 255", QLatin1Char('a') + QString(150, QChar(0x4E9C)),
       QLatin1Char('a') + QString(127, QChar(0x4E9C))},
      {"double-byte straddling 255", QString(150, QChar(0x4E9C)), QString(127, QChar(0x4E9C))},
      // ソ is 83 5C: a trail byte that is the ASCII backslash.
      {"trail byte backslash", QString(254, QLatin1Char('b')) + QStringLiteral("ソソ"), QString(254, QLatin1Char('b'))},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.name);
    writeText(QStringLiteral("[COM1]\n装置名=") + c.stored + QStringLiteral("\n"));
    const auto value = IniFile::load(path()).value(QStringLiteral("COM1"), QStringLiteral("装置名"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, c.expected);
    EXPECT_LE(iconvEncodeCp932(*value).size(), 255);
  }
}

TEST(Cp932Truncate, NeverEndsOnALeadByte) {
  const QByteArray kanji = iconvEncodeCp932(QStringLiteral("漢字"));  // 8A BF 8E 9A
  ASSERT_EQ(kanji.size(), 4);
  EXPECT_EQ(truncateCp932(kanji, 4), kanji);
  EXPECT_EQ(truncateCp932(kanji, 3), kanji.left(2));
  EXPECT_EQ(truncateCp932(kanji, 1), QByteArray());
  EXPECT_EQ(truncateCp932("abc", 2), QByteArray("ab"));
}

// ---- numbers --------------------------------------------------------------------------------

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfTheText) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"250ms", 250}, {"abc", 0},     {"", 0},         {"  42", 42},     {"-3.5x", -3.5}, {"+7", 7},
      {".5", 0.5},    {"5.", 5},      {"1e3", 1000},   {"2E-2", 0.02},   {"1e", 1},       {"1e+", 1},
      {".", 0},       {"-", 0},       {"1 2", 1},      {"12,5", 12},     {"0x10", 0},     {"-0", 0},
      {"1e-400", 0},  {"-1e-400", 0}, {"9600,N,8", 9600},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(leadingNumber(QString::fromUtf8(c.text)), c.expected) << c.text;
  }
  EXPECT_EQ(leadingNumber(QStringLiteral("１２")), 0) << "full-width digits are not a number";
  EXPECT_EQ(leadingNumber(QStringLiteral("0.") + QString(400, QLatin1Char('0')) + QLatin1Char('1')), 0);
  // Beyond a double's range: the largest double of the sign, never infinity (which no text
  // reads back as).
  EXPECT_EQ(leadingNumber(QStringLiteral("1e400")), std::numeric_limits<double>::max());
  EXPECT_EQ(leadingNumber(QStringLiteral("1e999")), std::numeric_limits<double>::max());
  EXPECT_EQ(leadingNumber(QStringLiteral("-1") + QString(400, QLatin1Char('0'))), -std::numeric_limits<double>::max());
}

TEST(NumberText, WritesTheShortestPlainDecimal) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {3, "3"},           {0.5, "0.5"},       {0, "0"},           {-0.0, "0"},           {250, "250"},
      {4920, "4920"},     {-2.5, "-2.5"},     {100000, "100000"}, {1000000, "1000000"}, {0.25, "0.25"},
      {0.0001, "0.0001"}, {19200, "19200"},   {0.1 + 0.2, "0.30000000000000004"},
  };
  for (const auto& c : cases) EXPECT_EQ(numberText(c.value), QLatin1String(c.expected)) << c.value;
}

TEST(NumberText, EveryNumberReadsBackAsItself) {
  for (double v : {1.0 / 3, 2.0 / 3 * 1e20, 1e-300, 123456.789, -987654321.125, 1e15, 5e-324}) {
    EXPECT_EQ(leadingNumber(numberText(v)), v) << numberText(v).toStdString();
  }
  // Bit patterns spread over the whole range of doubles, read back through their text.
  quint64 bits = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 20000; ++i) {
    bits ^= bits << 13;
    bits ^= bits >> 7;
    bits ^= bits << 17;
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isnan(v)) continue;
    const double expected = std::isinf(v) ? std::copysign(std::numeric_limits<double>::max(), v) : v == 0 ? 0 : v;
    ASSERT_EQ(leadingNumber(numberText(v)), expected) << numberText(v).toStdString();
  }
}

TEST(NumberText, ANumberTooLargeToReadIsSavedAsTheLargestAndReadsBackAsIt) {
  // "1e999" used to read as infinity, be written "inf" and read back as 0.
  const double read = leadingNumber(QStringLiteral("1e999"));
  EXPECT_TRUE(std::isfinite(read));
  const QString saved = numberText(read);
  EXPECT_FALSE(saved.contains(QStringLiteral("inf"))) << saved.toStdString();
  EXPECT_EQ(leadingNumber(saved), read);
  EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), saved);
  EXPECT_EQ(numberText(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0"));
}

TEST_F(IniFileTest, AStrayCrBeforeTheLineEndBelongsToTheLineEnd) {
  // CR CR LF: the value must not keep a CR, or the next save refuses it as a line break.
  ASSERT_TRUE(writeFileBytes(path(), iconvEncodeCp932(QStringLiteral("[COM1]\r\r\nｽﾋﾟｰﾄﾞ=4800\r\r\n装置名=旋盤\r\r\r\n"))));
  IniFile ini = IniFile::load(path());
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ")), QStringLiteral("4800"));
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("装置名")), QStringLiteral("旋盤"));
  QString error;
  EXPECT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ"), QStringLiteral("9600"), &error))
      << error.toStdString();
  ASSERT_TRUE(ini.save(path(), &error)) << error.toStdString();
  EXPECT_FALSE(readFileBytes(path()).contains("\r\r")) << "the saved file has plain CR LF line ends";
}

TEST_F(IniFileTest, AValueCutAtABlankReadsBackAsItIsSaved) {
  // 254 letters, a blank at byte 255, more text after: the cut value must not end in the blank,
  // which the next save and read would lose.
  const QString stored = QString(254, QLatin1Char('a')) + QStringLiteral(" tail");
  writeText(QStringLiteral("[参照]\nadress=") + stored + QStringLiteral("\n"));
  const QString read = *IniFile::load(path()).value(QStringLiteral("参照"), QStringLiteral("adress"));
  IniFile again;
  ASSERT_TRUE(again.setValue(QStringLiteral("参照"), QStringLiteral("adress"), read));
  ASSERT_TRUE(again.save(path()));
  EXPECT_EQ(IniFile::load(path()).value(QStringLiteral("参照"), QStringLiteral("adress")), read);
  EXPECT_EQ(read, QString(254, QLatin1Char('a')));
}

TEST_F(IniFileTest, AFileThatCannotBeReadSaysWhyAndAMissingOneDoesNot) {
  QString error = QStringLiteral("stale");
  IniFile::load(path(), &error);
  EXPECT_TRUE(error.isEmpty()) << "a missing file is no error";
  ASSERT_TRUE(QDir().mkpath(path()));  // a folder where the file should be
  IniFile::load(path(), &error);
  EXPECT_FALSE(error.isEmpty());
}

// ---- writing --------------------------------------------------------------------------------

TEST_F(IniFileTest, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
  writeText(QStringLiteral(
      "; korvane settings\n"
      "\n"
      "[Other]\n"
      "foo = bar\n"
      "\n"
      "[COM1]\n"
      "ｽﾋﾟｰﾄﾞ = 4800\n"
      "unknown=1\n"
      "; comment inside\n"
      "\n"
      "[参照]\n"));
  IniFile ini = IniFile::load(path());
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ"), QStringLiteral("19200")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("ﾊﾟﾘﾃｨ"), QStringLiteral("E")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("参照"), QStringLiteral("ﾌｨﾙﾀ"), QStringLiteral("*.nc")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM2"), QStringLiteral("EOB"), QStringLiteral("1")));
  ASSERT_TRUE(ini.save(path()));

  const QByteArray expected = iconvEncodeCp932(QStringLiteral(
      "; korvane settings\r\n"
      "\r\n"
      "[Other]\r\n"
      "foo = bar\r\n"
      "\r\n"
      "[COM1]\r\n"
      "ｽﾋﾟｰﾄﾞ=19200\r\n"
      "unknown=1\r\n"
      "; comment inside\r\n"
      "ﾊﾟﾘﾃｨ=E\r\n"
      "\r\n"
      "[参照]\r\n"
      "ﾌｨﾙﾀ=*.nc\r\n"
      "[COM2]\r\n"
      "EOB=1\r\n"));
  const QByteArray actual = readFileBytes(path());
  EXPECT_EQ(actual, expected) << iconvDecodeCp932(actual).toStdString();
}

TEST_F(IniFileTest, CreatesFolderFileSectionAndKey) {
  const QString nested = dir_.filePath(QStringLiteral("a/b/korvane.ini"));
  IniFile ini = IniFile::load(nested);
  ASSERT_TRUE(ini.setValue(QStringLiteral("参照"), QStringLiteral("ﾌｫﾙﾀﾞ"), QStringLiteral("D:\\ＮＣ\\表示")));
  QString error;
  ASSERT_TRUE(ini.save(nested, &error)) << error.toStdString();
  EXPECT_EQ(readFileBytes(nested), iconvEncodeCp932(QStringLiteral("[参照]\r\nﾌｫﾙﾀﾞ=D:\\ＮＣ\\表示\r\n")));
}

TEST_F(IniFileTest, KeepsALastLineWithoutLineBreakAndEndsItWithCrLf) {
  ASSERT_TRUE(writeFileBytes(path(), "[COM1]\r\nEOB=2"));
  IniFile ini = IniFile::load(path());
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("EOB")), QStringLiteral("2"));
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("DC1"), QStringLiteral("1")));
  ASSERT_TRUE(ini.save(path()));
  EXPECT_EQ(readFileBytes(path()), QByteArray("[COM1]\r\nEOB=2\r\nDC1=1\r\n"));
}

TEST_F(IniFileTest, KeyNamesAreWrittenAsCp932Bytes) {
  IniFile ini;
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ"), QStringLiteral("9600")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("参照"), QStringLiteral("開始ポート"), QStringLiteral("3")));
  ASSERT_TRUE(ini.save(path()));
  // The bytes as the Windows code page spells them, written out by hand.
  EXPECT_EQ(readFileBytes(path()),
            QByteArray("[COM1]\r\n\xBD\xCB\xDF\xB0\xC4\xDE=9600\r\n"
                       "[\x8E\x51\x8F\xC6]\r\n\x8A\x4A\x8E\x6E\x83\x7C\x81\x5B\x83\x67=3\r\n"));
}

TEST_F(IniFileTest, RefusesValuesTheFileCannotHold) {
  writeText(QStringLiteral("[COM1]\n装置名=旋盤\n"));
  IniFile ini = IniFile::load(path());
  const QList<QByteArray> before = ini.lines();
  for (const QString& bad : {QStringLiteral("a\nb"), QStringLiteral("a\rb"), QStringLiteral("旋盤😀"), QStringLiteral("€")}) {
    QString error;
    EXPECT_FALSE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("装置名"), bad, &error)) << bad.toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
  EXPECT_EQ(ini.lines(), before);
}

TEST_F(IniFileTest, SaveReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(writeFileBytes(path(), QByteArray("[COM1]\r\n") + QByteArray(5000, 'z') + "\r\n"));
  IniFile ini;
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("EOB"), QStringLiteral("1")));
  ASSERT_TRUE(ini.save(path()));
  EXPECT_EQ(readFileBytes(path()), QByteArray("[COM1]\r\nEOB=1\r\n"));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("korvane.ini")});
}

TEST_F(IniFileTest, SaveUnderARegularFileFailsWithAReasonAndTouchesNothing) {
  // Even root cannot create a file below a regular file.
  const QString blocker = dir_.filePath(QStringLiteral("not-a-folder"));
  ASSERT_TRUE(writeFileBytes(blocker, "keep me\r\n"));
  IniFile ini;
  ASSERT_TRUE(ini.setValue(QStringLiteral("COM1"), QStringLiteral("EOB"), QStringLiteral("1")));
  QString error;
  EXPECT_FALSE(ini.save(blocker + QStringLiteral("/korvane.ini"), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(readFileBytes(blocker), QByteArray("keep me\r\n"));
}

}  // namespace
}  // namespace korvane
