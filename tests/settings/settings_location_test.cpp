// Taking over the settings file of an earlier installation: copied byte for byte, once, and
// never over a file the user already has. On Windows also through the default location.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "settings/settings_store.h"
#include "support/test_files.h"

namespace korvane {
namespace {

using test::readTestFile;
using test::writeTestFile;

// A settings file as Windows writes it: CP932 key names, a kanji value, CR LF, no final line end.
const QByteArray kOlderFile = QByteArray(
    "[COM1]\r\n\xBD\xCB\xDF\xB0\xC4\xDE=4800\r\n\x91\x95\x92\x75\x96\xBC=\x90\xF9\x94\xD5\r\n"
    "[\x8E\x51\x8F\xC6]\r\nshutdown=0\r\nunknown key = kept  ");

class SettingsLocationTest : public ::testing::Test {
 protected:
  QString older() const { return dir_.filePath(QStringLiteral("windows/korvane.ini")); }
  QString current() const { return dir_.filePath(QStringLiteral("appdata/korvane/korvane.ini")); }
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("windows"))));
  }
  QTemporaryDir dir_;
};

TEST_F(SettingsLocationTest, CopiesTheOlderFileByteForByteAndSaysSoOnce) {
  writeTestFile(dir_.filePath(QStringLiteral("windows")), QStringLiteral("korvane.ini"), kOlderFile);
  const QString notice = adoptOlderSettingsFile(current(), older());
  EXPECT_EQ(readTestFile(current()), kOlderFile);
  EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(older()))) << notice.toStdString();
  EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(current()))) << notice.toStdString();
  EXPECT_TRUE(notice.contains(QStringLiteral("コピーしました"))) << notice.toStdString();
  // The older file stays for other users and installations.
  EXPECT_EQ(readTestFile(older()), kOlderFile);

  // The user's file now exists: nothing more is copied or said, even after it changed.
  writeTestFile(QFileInfo(current()).absolutePath(), QStringLiteral("korvane.ini"), "[COM1]\r\n");
  EXPECT_TRUE(adoptOlderSettingsFile(current(), older()).isEmpty());
  EXPECT_EQ(readTestFile(current()), QByteArray("[COM1]\r\n"));
}

TEST_F(SettingsLocationTest, WithoutAnOlderFileNothingIsCreated) {
  EXPECT_TRUE(adoptOlderSettingsFile(current(), older()).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(current()));
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(current()).absolutePath()));
  EXPECT_TRUE(adoptOlderSettingsFile(current(), QString()).isEmpty());
}

TEST_F(SettingsLocationTest, AFolderInTheOlderPlaceIsNotASettingsFile) {
  ASSERT_TRUE(QDir().mkpath(older()));
  EXPECT_TRUE(adoptOlderSettingsFile(current(), older()).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(current()));
}

TEST_F(SettingsLocationTest, ACopyThatCannotBeMadeIsReported) {
  writeTestFile(dir_.filePath(QStringLiteral("windows")), QStringLiteral("korvane.ini"), kOlderFile);
  // The folder of the new file cannot be made: a file stands where it would go.
  writeTestFile(dir_.path(), QStringLiteral("blocked"), "x");
  const QString blocked = dir_.filePath(QStringLiteral("blocked/korvane/korvane.ini"));
  const QString notice = adoptOlderSettingsFile(blocked, older());
  EXPECT_TRUE(notice.contains(QStringLiteral("コピーできません"))) << notice.toStdString();
  EXPECT_FALSE(QFileInfo::exists(blocked));
}

#ifdef Q_OS_WIN
// On Windows the settings live in %APPDATA%\korvane; the first load takes over
// %windir%\korvane.ini and reads it, the second says nothing more.
TEST_F(SettingsLocationTest, TheDefaultFileOnWindowsTakesOverTheOneInTheWindowsFolder) {
  writeTestFile(dir_.filePath(QStringLiteral("windows")), QStringLiteral("korvane.ini"), kOlderFile);
  const QByteArray savedAppData = qgetenv("APPDATA");
  const QByteArray savedWindir = qgetenv("windir");
  qputenv("APPDATA", QDir::toNativeSeparators(dir_.filePath(QStringLiteral("appdata"))).toLocal8Bit());
  qputenv("windir", QDir::toNativeSeparators(dir_.filePath(QStringLiteral("windows"))).toLocal8Bit());

  EXPECT_EQ(QDir::cleanPath(SettingsStore::defaultIniPath()), QDir::cleanPath(current()));
  EXPECT_EQ(QDir::cleanPath(SettingsStore::olderIniPath()), QDir::cleanPath(older()));
  SettingsStore first(SettingsStore::defaultIniPath());
  first.loadSettings();
  EXPECT_FALSE(first.loadNotice().isEmpty());
  EXPECT_TRUE(first.loadProblem().isEmpty()) << first.loadProblem().toStdString();
  EXPECT_EQ(first.profile(1).baudRate, QStringLiteral("4800"));
  EXPECT_EQ(first.profile(1).deviceName, QStringLiteral("旋盤"));
  EXPECT_EQ(readTestFile(current()), kOlderFile);

  SettingsStore second(SettingsStore::defaultIniPath());
  second.loadSettings();
  EXPECT_TRUE(second.loadNotice().isEmpty()) << second.loadNotice().toStdString();
  EXPECT_EQ(second.profile(1).deviceName, QStringLiteral("旋盤"));

  qputenv("APPDATA", savedAppData);
  qputenv("windir", savedWindir);
}
#endif

}  // namespace
}  // namespace korvane
