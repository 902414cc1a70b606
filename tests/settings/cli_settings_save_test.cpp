// `korvane-cli settings --save` as a separate process, with the settings folder chosen through
// the windir variable: the file it writes, what it keeps, and how it fails.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

#include "settings/settings_expectations.h"
#include "support/cp932_iconv.h"

namespace korvane {
namespace {

using test::crlfLines;
using test::iconvDecodeCp932;
using test::iconvEncodeCp932;
using test::readFileBytes;
using test::writeFileBytes;

struct CliResult {
  int exitCode = -1;
  QString out;
  QString err;
};

class CliSettingsSaveTest : public ::testing::Test {
 protected:
  // Runs the command with windir set and the working directory (the default data folder) given.
  CliResult runSave(const QString& windir, const std::function<void()>& childSetup = {}) {
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("windir"), windir);
    cli.setProcessEnvironment(env);
    cli.setWorkingDirectory(workDir_.path());
    if (childSetup) cli.setChildProcessModifier(childSetup);
    cli.start(QStringLiteral(KORVANE_CLI_PATH), {QStringLiteral("settings"), QStringLiteral("--save")});
    CliResult result;
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit) {
      ADD_FAILURE() << "korvane-cli did not finish normally";
      return result;
    }
    result.exitCode = cli.exitCode();
    result.out = QString::fromUtf8(cli.readAllStandardOutput());
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
  }
  QString iniPath() const { return winDir_.filePath(QStringLiteral("korvane.ini")); }
  QString workFolder() const { return QDir(workDir_.path()).canonicalPath(); }

  QTemporaryDir winDir_;
  QTemporaryDir workDir_;
};

TEST_F(CliSettingsSaveTest, FreshSaveWritesTheTenProfilesAndTheApplicationSection) {
  const CliResult r = runSave(winDir_.path());
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

  const QByteArray bytes = readFileBytes(iniPath());
  // Read the way any CP932 reader would: sections and keys in order.
  const auto sections = test::parseIniText(iconvDecodeCp932(bytes));
  ASSERT_EQ(sections.size(), 11) << iconvDecodeCp932(bytes).toStdString();
  for (int n = 1; n <= 10; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(sections[n - 1].name, QStringLiteral("COM%1").arg(n));
    EXPECT_EQ(sections[n - 1].keys, test::defaultProfileKeys(n));
  }
  EXPECT_EQ(sections[10].name, QStringLiteral("参照"));
  EXPECT_EQ(sections[10].keys, test::defaultAppKeys(workFolder()));

  // And byte for byte, every line ended by CR LF.
  const QList<QByteArray> lines = crlfLines(bytes);
  const QList<QString> expected = test::defaultSavedLines(workFolder());
  ASSERT_EQ(lines.size(), expected.size());
  const QList<QByteArray> expectedBytes = iconvEncodeCp932(expected.join(QLatin1Char('\n'))).split('\n');
  for (int i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expectedBytes[i]) << "line " << i + 1;
}

TEST_F(CliSettingsSaveTest, SavingAnEditedFileKeepsWhatItDoesNotOwn) {
  ASSERT_EQ(runSave(winDir_.path()).exitCode, 0);
  QByteArray edited = readFileBytes(iniPath());
  edited.prepend("; machines of hall 2\r\n\r\n");
  edited.replace("[COM2]\r\n", "[COM2]\r\ncomment=keep\r\n");
  edited.replace("[COM4]\r\n", "[Extra]\r\nfoo=bar\r\n\r\n[COM4]\r\n");
  const QByteArray waitDefault = "Waittime=0\r\n";
  const qsizetype com5 = edited.indexOf("[COM5]");
  const qsizetype wait5 = edited.indexOf(waitDefault, com5);
  ASSERT_GT(wait5, com5);
  edited.replace(wait5, waitDefault.size(), "Waittime=250ms\r\n");
  const QByteArray nameLine = iconvEncodeCp932(QStringLiteral("装置名=ＭＣ－１号機（表ソ）"));
  const QByteArray defaultName = iconvEncodeCp932(QStringLiteral("装置名=No.3"));
  ASSERT_EQ(edited.count(defaultName), 1);
  edited.replace(defaultName, nameLine);
  edited += iconvEncodeCp932(QStringLiteral("開始ポート=3\r\n"));
  ASSERT_TRUE(writeFileBytes(iniPath(), edited));

  const CliResult r = runSave(winDir_.path());
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  // Only the line whose stored text was not the number's own text changes.
  QByteArray expected = edited;
  expected.replace("Waittime=250ms\r\n", "Waittime=250\r\n");
  const QByteArray actual = readFileBytes(iniPath());
  EXPECT_EQ(actual, expected) << iconvDecodeCp932(actual).toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("装置名=ＭＣ－１号機（表ソ）")));
}

TEST_F(CliSettingsSaveTest, WindirThatIsAFileFailsWithAMessageAndTouchesNothing) {
  const QString blocker = winDir_.filePath(QStringLiteral("plain-file"));
  ASSERT_TRUE(writeFileBytes(blocker, "old contents\r\n"));
  const CliResult r = runSave(blocker);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_FALSE(r.err.trimmed().isEmpty());
  EXPECT_EQ(readFileBytes(blocker), QByteArray("old contents\r\n"));
}

TEST_F(CliSettingsSaveTest, AWriteCutShortLeavesTheOldFileWhole) {
  // A file size limit makes the write stop part way, as a full disk would; root is bound by it too.
  const QByteArray old = iconvEncodeCp932(QStringLiteral("[COM1]\r\n装置名=旋盤\r\n[参照]\r\n開始ポート=2\r\n"));
  ASSERT_TRUE(writeFileBytes(iniPath(), old));
  const CliResult r = runSave(winDir_.path(), [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{512, 512};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_NE(r.exitCode, 0);
  EXPECT_FALSE(r.err.trimmed().isEmpty());
  EXPECT_EQ(readFileBytes(iniPath()), old);
  EXPECT_EQ(QDir(winDir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("korvane.ini")})
      << "no temporary file left behind";
}

}  // namespace
}  // namespace korvane
