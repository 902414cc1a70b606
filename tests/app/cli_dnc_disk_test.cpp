// korvane-cli dnc when the disk fills up under the output: the system's reason, not
// "Unknown error", and no half-written destination.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "support/test_files.h"

using namespace korvane::test;

TEST(CliDnc, DiskFullUnderTheOutputIsReportedInTheSystemsWords) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A few bytes in, some thirty kilobytes out: only the output meets the limit.
  const QString main = writeTestFile(dir.path(), "1.nc", "%\nO0001\nM98P1000L1000\nM30\n%\n");
  const QString sub = writeTestFile(dir.path(), "2.nc", "O1000\nG01 X10. Y20.\nM99\n");
  const QString destination = dir.filePath("out.dnc");
  QProcess cli;
  cli.setProcessEnvironment([&] {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir.path());
    return env;
  }());
  // As a nearly full disk: files of the child may not grow past 4 KiB. SIGXFSZ is ignored, as
  // the write then fails with an error instead of ending the process.
  cli.setChildProcessModifier([] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  cli.start(KORVANE_CLI_PATH, {"dnc", "-o", destination, main, sub});
  ASSERT_TRUE(cli.waitForFinished(20000));
  const QString terminal = QString::fromUtf8(cli.readAllStandardError());
  EXPECT_EQ(cli.exitCode(), 2) << terminal.toStdString();
  EXPECT_TRUE(terminal.contains("File too large")) << terminal.toStdString();
  EXPECT_FALSE(terminal.contains("Unknown error")) << terminal.toStdString();
  EXPECT_FALSE(QFile::exists(destination)) << "nothing under the destination's name";
}
