// The settings store against files written and read independently of it: defaults, reading
// rules, the layout of "設定保存", the exit-time keys and single-key writes.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <stdexcept>

#include "settings/settings_expectations.h"
#include "support/cp932_iconv.h"

namespace korvane {
namespace {

using test::crlfLines;
using test::iconvDecodeCp932;
using test::iconvEncodeCp932;
using test::iniValue;
using test::parseIniText;
using test::readFileBytes;
using test::writeFileBytes;

class SettingsStoreTest : public ::testing::Test {
 protected:
  QString path() const { return dir_.filePath(QStringLiteral("korvane.ini")); }
  void writeText(const QString& text) { ASSERT_TRUE(writeFileBytes(path(), iconvEncodeCp932(text))); }
  QList<test::IniSectionText> fileSections() const { return parseIniText(iconvDecodeCp932(readFileBytes(path()))); }
  QTemporaryDir dir_;
};

// ---- the profile table ----------------------------------------------------------------------

TEST_F(SettingsStoreTest, ProfileSlotsAreZeroToTenAndNothingElse) {
  SettingsStore store(path());
  const SettingsStore& constStore = store;
  EXPECT_NO_THROW(store.profile(0));
  EXPECT_NO_THROW(store.profile(10));
  EXPECT_NE(&store.profile(1), &store.profile(10));
  EXPECT_THROW(store.profile(-1), std::out_of_range);
  EXPECT_THROW(store.profile(11), std::out_of_range);
  EXPECT_THROW(constStore.profile(11), std::out_of_range);
  EXPECT_THROW(constStore.profile(-1), std::out_of_range);
}

TEST_F(SettingsStoreTest, SlotZeroIsNeverWritten) {
  SettingsStore store(path());
  store.loadSettings();
  store.profile(0).deviceName = QStringLiteral("zero");
  ASSERT_TRUE(store.saveSettings());
  for (const auto& section : fileSections()) EXPECT_NE(section.name, QStringLiteral("COM0"));
}

// ---- loading --------------------------------------------------------------------------------

TEST_F(SettingsStoreTest, NoFileGivesTheDefaults) {
  SettingsStore store(path());
  store.loadSettings();
  store.loadWindowSize();
  for (int n = 1; n <= 10; ++n) {
    SCOPED_TRACE(n);
    const PortProfile& p = store.profile(n);
    EXPECT_EQ(p.baudRate, QStringLiteral("9600"));
    EXPECT_EQ(p.parity, QStringLiteral("N"));
    EXPECT_EQ(p.dataBits, QStringLiteral("8"));
    EXPECT_EQ(p.stopBits, QStringLiteral("2"));
    EXPECT_EQ(p.handshake, 3);
    EXPECT_EQ(p.tapeCode, 0);
    EXPECT_EQ(p.feedEnabled, 0);
    EXPECT_EQ(p.feedLength, 0);
    EXPECT_EQ(p.feedLength2, 0);
    EXPECT_EQ(p.deviceName, QStringLiteral("No.%1").arg(n));
    EXPECT_EQ(p.eobMode, 0);
    EXPECT_EQ(p.checkDcdDsr, 1);
    EXPECT_EQ(p.useDc1, 0);
    EXPECT_EQ(p.useDc2Dc4, 0);
    EXPECT_EQ(p.waitEnabled, 0);
    EXPECT_EQ(p.waitTime, 0);
    EXPECT_EQ(p.ignorePercent, 0);
    EXPECT_EQ(p.startCr, 0);
    EXPECT_EQ(p.portNumber, 1);
  }
  const AppSettings& a = store.app();
  EXPECT_EQ(a.editorPath, QStringLiteral("xdg-open"));
  EXPECT_EQ(a.dataFolder, QDir::currentPath());
  EXPECT_EQ(a.fileFilter, QStringLiteral("*.nc"));
  EXPECT_EQ(a.shutdownAfterSend, 0);
  EXPECT_EQ(a.mailAfterSend, 0);
  EXPECT_EQ(a.mailAddress, QStringLiteral(""));
  EXPECT_EQ(a.showTimeInInfo, 0);
  EXPECT_EQ(a.currentProfile, 1);
  EXPECT_EQ(a.viewerPath, QStringLiteral(""));
  EXPECT_EQ(a.windowWidth, 4920);
  EXPECT_EQ(a.windowHeight, 4560);
  EXPECT_EQ(store.selectedSlot(), 1);
}

TEST_F(SettingsStoreTest, StoredValuesFollowTheReadingRules) {
  writeText(QStringLiteral(
      "[COM2]\n"
      "Waittime=250ms\n"
      "ﾊﾝﾄﾞｼｪｲｸ = 1 \n"
      "ｽﾋﾟｰﾄﾞ=19200 baud\n"
      "ﾌｨｰﾄﾞ長=12.5\n"
      "[COM3]\n"
      "Waittime=abc\n"
      "ﾎﾟｰﾄ=\n"
      "EOB=-2\n"
      "[参照]\n"
      "ﾋﾞｭｰﾜ=   \n"
      "ｴﾃﾞｨﾀ= /usr/bin/mousepad \n"
      "adress=\n"));
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.profile(2).waitTime, 250);
  EXPECT_EQ(store.profile(2).handshake, 1);
  EXPECT_EQ(store.profile(2).baudRate, QStringLiteral("19200 baud")) << "a text field keeps its text";
  EXPECT_EQ(store.profile(2).feedLength, 12.5);
  EXPECT_EQ(store.profile(3).waitTime, 0);
  EXPECT_EQ(store.profile(3).portNumber, 0) << "an empty stored number reads as 0, not as the default";
  EXPECT_EQ(store.profile(3).eobMode, -2);
  // Keys missing from a present section still take their defaults.
  EXPECT_EQ(store.profile(3).checkDcdDsr, 1);
  EXPECT_EQ(store.profile(3).deviceName, QStringLiteral("No.3"));
  EXPECT_EQ(store.app().viewerPath, QStringLiteral(""));
  EXPECT_EQ(store.app().editorPath, QStringLiteral("/usr/bin/mousepad"));
  EXPECT_EQ(store.app().mailAddress, QStringLiteral(""));
}

TEST_F(SettingsStoreTest, AValueLongerThan255BytesReadsAsItsFirst255) {
  const QString folder = QStringLiteral("/") + QString(299, QLatin1Char('d'));
  writeText(QStringLiteral("[参照]\nﾌｫﾙﾀﾞ=") + folder + QStringLiteral("\n[COM1]\n装置名=") +
            QString(200, QChar(0x65CB)) + QStringLiteral("\n"));  // 旋 x 200 = 400 bytes
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.app().dataFolder, folder.left(255));
  EXPECT_EQ(store.profile(1).deviceName, QString(127, QChar(0x65CB)));
}

TEST_F(SettingsStoreTest, StartSlotSelectsItsMachine) {
  writeText(QStringLiteral("[COM3]\n装置名=第３旋盤\n[参照]\n開始ポート=3\n"));
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.app().currentProfile, 3);
  EXPECT_EQ(store.selectedSlot(), 3);
  ASSERT_EQ(store.selectedProfile(), &store.profile(3));
  EXPECT_EQ(store.selectedProfile()->deviceName, QStringLiteral("第３旋盤"));
}

TEST_F(SettingsStoreTest, StartSlotOutsideOneToTenSelectsNothing) {
  const struct {
    const char* stored;
    double loaded;
  } cases[] = {{"0", 0}, {"11", 11}, {"-1", -1}, {"2.5", 2.5}, {"abc", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    writeText(QStringLiteral("[参照]\n開始ポート=") + QLatin1String(c.stored) + QStringLiteral("\n"));
    SettingsStore store(path());
    store.loadSettings();
    EXPECT_EQ(store.app().currentProfile, c.loaded) << "loaded unchanged";
    EXPECT_EQ(store.selectedSlot(), 0);
    EXPECT_EQ(store.selectedProfile(), nullptr);
  }
}

TEST_F(SettingsStoreTest, WindowSizeIsReadOnlyByLoadWindowSize) {
  writeText(QStringLiteral("[参照]\nwindow_width=6000\nwindow_height=5000.5\n"));
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.app().windowWidth, 4920);
  EXPECT_EQ(store.app().windowHeight, 4560);
  store.loadWindowSize();
  EXPECT_EQ(store.app().windowWidth, 6000);
  EXPECT_EQ(store.app().windowHeight, 5000.5);
}

// ---- saving ---------------------------------------------------------------------------------

TEST_F(SettingsStoreTest, FreshSaveWritesEveryProfileKeyAndEightApplicationKeys) {
  SettingsStore store(path());
  store.loadSettings();
  ASSERT_TRUE(store.saveSettings());
  const QList<QByteArray> lines = crlfLines(readFileBytes(path()));
  const QList<QString> expected = test::defaultSavedLines(QDir::currentPath());
  ASSERT_EQ(lines.size(), expected.size()) << iconvDecodeCp932(readFileBytes(path())).toStdString();
  const QList<QByteArray> expectedBytes = iconvEncodeCp932(expected.join(QLatin1Char('\n'))).split('\n');
  for (int i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i], expectedBytes[i]) << "line " << i + 1 << ": " << expected[i].toStdString();
  }
}

TEST_F(SettingsStoreTest, NumbersAreWrittenAsShortestDecimalText) {
  SettingsStore store(path());
  store.loadSettings();
  store.profile(4).waitTime = 0.5;
  store.profile(4).feedLength = 12.25;
  store.profile(4).feedLength2 = 100000;
  store.profile(4).eobMode = 2;
  ASSERT_TRUE(store.saveSettings());
  const auto sections = fileSections();
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM4"), QStringLiteral("Waittime")), QStringLiteral("0.5"));
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM4"), QStringLiteral("ﾌｨｰﾄﾞ長")), QStringLiteral("12.25"));
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM4"), QStringLiteral("ﾌｨｰﾄﾞ長2")), QStringLiteral("100000"));
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM4"), QStringLiteral("EOB")), QStringLiteral("2"));
}

TEST_F(SettingsStoreTest, SavingAnEditedFileChangesOnlyTheChangedLine) {
  {
    SettingsStore fresh(path());
    fresh.loadSettings();
    ASSERT_TRUE(fresh.saveSettings());
  }
  // Hand edits: a comment, blank lines, an unknown key, an unknown section, the exit-time keys.
  QByteArray edited = readFileBytes(path());
  edited.prepend("; written by hand\r\n\r\n");
  edited.replace("[COM3]\r\n", "[COM3]\r\nmemo=left spindle\r\n");
  edited.replace("[COM6]\r\n", "[Other]\r\nx = 1\r\n\r\n[COM6]\r\n");
  edited += iconvEncodeCp932(QStringLiteral("開始ポート=3\r\nwindow_width=6000\r\nwindow_height=5000\r\n"));
  ASSERT_TRUE(writeFileBytes(path(), edited));

  SettingsStore store(path());
  store.loadSettings();
  ASSERT_TRUE(store.saveSettings());
  EXPECT_EQ(readFileBytes(path()), edited) << "saving unchanged settings rewrites nothing";

  store.profile(2).baudRate = QStringLiteral("4800");
  ASSERT_TRUE(store.saveSettings());
  QByteArray expected = edited;
  const QByteArray com2 = "[COM2]\r\n" + iconvEncodeCp932(QStringLiteral("ｽﾋﾟｰﾄﾞ=9600"));
  ASSERT_EQ(expected.count(com2), 1);
  expected.replace(com2, "[COM2]\r\n" + iconvEncodeCp932(QStringLiteral("ｽﾋﾟｰﾄﾞ=4800")));
  EXPECT_EQ(readFileBytes(path()), expected) << iconvDecodeCp932(readFileBytes(path())).toStdString();
}

TEST_F(SettingsStoreTest, JapaneseNamesSurviveLoadAndSaveByteForByte) {
  // ソ, 表 and 能 have the backslash as trail byte; 亜 has a trail byte in the lead-byte range.
  const QByteArray nameLine = iconvEncodeCp932(QStringLiteral("装置名=第２旋盤（ソ表能・亜）"));
  const QByteArray folderLine = iconvEncodeCp932(QStringLiteral("ﾌｫﾙﾀﾞ=/home/nc/ＮＣデータ/表示ソフト"));
  ASSERT_TRUE(writeFileBytes(path(), "[COM7]\r\n" + nameLine + "\r\n[\x8E\x51\x8F\xC6]\r\n" + folderLine + "\r\n"));
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.profile(7).deviceName, QStringLiteral("第２旋盤（ソ表能・亜）"));
  EXPECT_EQ(store.app().dataFolder, QStringLiteral("/home/nc/ＮＣデータ/表示ソフト"));
  ASSERT_TRUE(store.saveSettings());
  const QList<QByteArray> lines = crlfLines(readFileBytes(path()));
  EXPECT_EQ(lines.count(nameLine), 1);
  EXPECT_EQ(lines.count(folderLine), 1);
}

TEST_F(SettingsStoreTest, ExitStateWritesStartSlotAndWindowSizeAfterTheOtherKeys) {
  SettingsStore store(path());
  store.loadSettings();
  ASSERT_TRUE(store.saveSettings());
  const QByteArray afterSave = readFileBytes(path());
  store.app().currentProfile = 3;
  ASSERT_TRUE(store.saveExitState(6000, 4575));
  EXPECT_EQ(store.app().windowWidth, 6000);
  EXPECT_EQ(store.app().windowHeight, 4575);
  EXPECT_EQ(readFileBytes(path()),
            afterSave + iconvEncodeCp932(QStringLiteral("開始ポート=3\r\nwindow_width=6000\r\nwindow_height=4575\r\n")));

  // A second exit replaces the three values in place; "設定保存" leaves them alone.
  store.app().currentProfile = 10;
  ASSERT_TRUE(store.saveExitState(5000, 4600));
  store.app().currentProfile = 2;
  ASSERT_TRUE(store.saveSettings());
  EXPECT_EQ(readFileBytes(path()),
            afterSave + iconvEncodeCp932(QStringLiteral("開始ポート=10\r\nwindow_width=5000\r\nwindow_height=4600\r\n")));
}

TEST_F(SettingsStoreTest, WriteSettingCreatesFolderFileSectionAndKey) {
  SettingsStore store(dir_.filePath(QStringLiteral("new/folder/korvane.ini")));
  ASSERT_TRUE(store.writeSetting(kAppSection, kKeyFolder, QStringLiteral("/srv/ＮＣ")));
  ASSERT_TRUE(store.writeSetting(kAppSection, kKeyFilter, QStringLiteral("*.nc;*.NC")));
  ASSERT_TRUE(store.writeSetting(kAppSection, kKeyFolder, QStringLiteral("/srv/nc2")));
  EXPECT_EQ(readFileBytes(store.iniPath()), iconvEncodeCp932(QStringLiteral("[参照]\r\nﾌｫﾙﾀﾞ=/srv/nc2\r\nﾌｨﾙﾀ=*.nc;*.NC\r\n")));
}

TEST_F(SettingsStoreTest, SaveThatCannotWriteReportsAnErrorAndKeepsTheOldFile) {
  const QString blocker = dir_.filePath(QStringLiteral("plain-file"));
  ASSERT_TRUE(writeFileBytes(blocker, "old\r\n"));
  SettingsStore store(blocker + QStringLiteral("/korvane.ini"));
  store.loadSettings();
  QString error;
  EXPECT_FALSE(store.saveSettings(&error));
  EXPECT_FALSE(error.isEmpty());
  error.clear();
  EXPECT_FALSE(store.saveExitState(4920, 4560, &error));
  EXPECT_FALSE(error.isEmpty());
  error.clear();
  EXPECT_FALSE(store.writeSetting(kAppSection, kKeyFolder, QStringLiteral("/x"), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(readFileBytes(blocker), QByteArray("old\r\n"));
}

TEST_F(SettingsStoreTest, AValueCp932CannotHoldIsReportedAndNotWritten) {
  writeText(QStringLiteral("[COM1]\n装置名=旋盤\n"));
  SettingsStore store(path());
  store.loadSettings();
  store.profile(1).deviceName = QStringLiteral("旋盤😀");
  store.profile(1).baudRate = QStringLiteral("4800");
  QString error;
  EXPECT_FALSE(store.saveSettings(&error));
  EXPECT_TRUE(error.contains(QStringLiteral("装置名"))) << error.toStdString();
  const auto sections = fileSections();
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM1"), QStringLiteral("装置名")), QStringLiteral("旋盤"));
  EXPECT_EQ(iniValue(sections, QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ")), QStringLiteral("4800"));
}

// ---- where the file lives -------------------------------------------------------------------

TEST(SettingsLocation, WindirWinsOverTheXdgFolder) {
  test::EnvGuard windir("windir", QByteArray("/opt/win"));
  test::EnvGuard xdg("XDG_CONFIG_HOME", QByteArray("/cfg"));
  EXPECT_EQ(SettingsStore::defaultIniPath(), QStringLiteral("/opt/win/korvane.ini"));
}

TEST(SettingsLocation, WithoutWindirTheFileLivesInTheXdgConfigFolder) {
  test::EnvGuard windir("windir", std::nullopt);
  {
    test::EnvGuard xdg("XDG_CONFIG_HOME", QByteArray("/cfg"));
    EXPECT_EQ(SettingsStore::defaultIniPath(), QStringLiteral("/cfg/korvane/korvane.ini"));
  }
  test::EnvGuard xdg("XDG_CONFIG_HOME", std::nullopt);
  test::EnvGuard home("HOME", QByteArray("/home/op"));
  EXPECT_EQ(SettingsStore::defaultIniPath(), QStringLiteral("/home/op/.config/korvane/korvane.ini"));
}

TEST(SettingsLocation, EmptyWindirCountsAsUnset) {
  test::EnvGuard windir("windir", QByteArray(""));
  test::EnvGuard xdg("XDG_CONFIG_HOME", QByteArray("/cfg"));
  EXPECT_EQ(SettingsStore::defaultIniPath(), QStringLiteral("/cfg/korvane/korvane.ini"));
}

TEST(SettingsLocation, DefaultEditorIsTheDesktopOpener) { EXPECT_EQ(SettingsStore::defaultEditor(), QStringLiteral("xdg-open")); }

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// ---- values that must survive a save ----------------------------------------------------------

TEST_F(SettingsStoreTest, EveryStoredNumberReadsBackAsSavedEvenBeyondRange) {
  writeText(QStringLiteral("[COM1]\nﾌｨｰﾄﾞ長=1e999\nﾌｨｰﾄﾞ長2=-1e400\nWaittime=1e308\n"));
  SettingsStore store(path());
  store.loadSettings();
  const PortProfile first = store.profile(1);
  EXPECT_TRUE(std::isfinite(first.feedLength));
  EXPECT_GT(first.feedLength, 1e308);
  ASSERT_TRUE(store.saveSettings());
  SettingsStore again(path());
  again.loadSettings();
  EXPECT_EQ(again.profile(1).feedLength, first.feedLength);
  EXPECT_EQ(again.profile(1).feedLength2, first.feedLength2);
  EXPECT_EQ(again.profile(1).waitTime, 1e308);
}

TEST_F(SettingsStoreTest, AFileWithCrCrLfLineEndsCanBeSaved) {
  ASSERT_TRUE(writeFileBytes(path(), iconvEncodeCp932(QStringLiteral("[COM1]\r\r\nｽﾋﾟｰﾄﾞ=4800\r\r\n装置名=旋盤\r\r\n"
                                                                      "[参照]\r\r\nｴﾃﾞｨﾀ=gvim\r\r\n"))));
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_EQ(store.profile(1).deviceName, QStringLiteral("旋盤"));
  EXPECT_EQ(store.app().editorPath, QStringLiteral("gvim"));
  QString error;
  EXPECT_TRUE(store.saveSettings(&error)) << error.toStdString();
  EXPECT_TRUE(store.loadProblem().isEmpty());
}

TEST_F(SettingsStoreTest, AnUnreadableFileIsReportedAndNotWrittenOver) {
  ASSERT_TRUE(QDir().mkpath(path()));  // korvane.ini is a folder: there, but not readable as a file
  SettingsStore store(path());
  store.loadSettings();
  EXPECT_TRUE(store.loadProblem().contains(path())) << store.loadProblem().toStdString();
  EXPECT_EQ(store.profile(1).baudRate, QStringLiteral("9600"));  // the defaults are in use
  QString error;
  EXPECT_FALSE(store.saveSettings(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QFileInfo(path()).isDir());

  SettingsStore missing(dir_.filePath(QStringLiteral("none.ini")));
  missing.loadSettings();
  EXPECT_TRUE(missing.loadProblem().isEmpty()) << "a missing file is the normal first start";
}

}  // namespace
}  // namespace korvane
