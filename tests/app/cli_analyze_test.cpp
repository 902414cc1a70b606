// `korvane-cli analyze` measures rapid moves at the rate of a machine profile: the one named with
// --profile, else the stored current one.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "support/cp932_iconv.h"
#include "support/test_files.h"

namespace korvane {
namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
};

Outcome analyze(const QString& windir, const QStringList& args) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), windir);
  cli.setProcessEnvironment(env);
  cli.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("analyze")} + args);
  Outcome run;
  if (!cli.waitForFinished(30000)) return run;
  run.exitCode = cli.exitCode();
  run.out = QString::fromUtf8(cli.readAllStandardOutput());
  return run;
}

TEST(CliAnalyze, RapidMovesAtTheRateOfTheChosenProfile) {
  QTemporaryDir dir;
  test::writeTestFile(dir.path(), QStringLiteral("korvane.ini"),
                      test::iconvEncodeCp932(QStringLiteral("[COM2]\r\n早送り速度=2500\r\n[COM3]\r\n早送り速度=1000\r\n"
                                                            "[参照]\r\n開始ポート=2\r\n")));
  // 500 mm at the rapid rate.
  const QString program = test::writeTestFile(dir.path(), QStringLiteral("rapid.nc"), "G91 G00 X500.\r\nM30\r\n");
  EXPECT_EQ(analyze(dir.path(), {program}).out, "rapid.nc\t\t0.20\t0.00\t0.05\n");
  EXPECT_EQ(analyze(dir.path(), {QStringLiteral("--profile"), QStringLiteral("3"), program}).out,
            "rapid.nc\t\t0.50\t0.00\t0.05\n");
  EXPECT_EQ(analyze(dir.path(), {QStringLiteral("--profile"), QStringLiteral("1"), program}).out,
            "rapid.nc\t\t0.10\t0.00\t0.05\n");
  const Outcome bad = analyze(dir.path(), {QStringLiteral("--profile"), QStringLiteral("11"), program});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_TRUE(bad.out.isEmpty());
}

}  // namespace
}  // namespace korvane
