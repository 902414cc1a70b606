// What korvane-cli tells about itself: every command's options on --help and -h, the version,
// and the usage error for a command line a command cannot take.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>

#include "korvane/version.h"

namespace {

struct CliRun {
  int exitCode = -1;
  QString out;
  QString err;
};

CliRun cli(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(QStringLiteral(KORVANE_CLI_PATH), args);
  CliRun r;
  if (!p.waitForFinished(15000)) return r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// Each command with options its help must name.
const std::vector<std::pair<QString, QStringList>> kCommands = {
    {"send", {"--profile", "--from", "--lathe", "--mill"}},
    {"restart", {"--from", "-o", "--profile", "--lathe", "--mill"}},
    {"receive", {"--profile", "--file", "--folder"}},
    {"analyze", {}},
    {"dnc", {"-o", "--yes", "--no"}},
    {"machine", {"--link", "--code", "--baud", "--frame", "--buffer", "--no-flow", "--consume", "--request-start",
                 "--start-delay", "--store", "--exit-after", "--idle-exit", "--punch", "--no-wait"}},
    {"ports", {}},
    {"settings", {"--save"}},
};

TEST(CliUsage, EveryCommandAnswersHelpWithItsOptions) {
  for (const auto& [command, options] : kCommands) {
    for (const QString& help : {QStringLiteral("--help"), QStringLiteral("-h")}) {
      const CliRun r = cli({command, help});
      SCOPED_TRACE((command + ' ' + help).toStdString());
      EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
      EXPECT_TRUE(r.out.startsWith(QStringLiteral("Usage: korvane-cli ") + command)) << r.out.toStdString();
      for (const QString& option : options)
        EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("\\n  (-\\w, )?%1\\b").arg(option))))
            << option.toStdString() << " missing in\n" << r.out.toStdString();
    }
  }
}

TEST(CliUsage, HelpAmongOtherArgumentsStillOnlyHelps) {
  // A send with --help must not start a transfer, whatever else is on the line.
  const CliRun r = cli({"send", "/nonexistent/o1.nc", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("Usage: korvane-cli send"))) << r.out.toStdString();
}

TEST(CliUsage, VersionIsTheProjectVersion) {
  const CliRun r = cli({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, QStringLiteral("korvane-cli " KORVANE_VERSION "\n"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(QStringLiteral(KORVANE_VERSION)).hasMatch());
}

TEST(CliUsage, TopLevelHelpListsEveryCommand) {
  const CliRun help = cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const auto& [command, options] : kCommands)
    EXPECT_TRUE(help.out.contains(QStringLiteral("\n  ") + command)) << command.toStdString();
  const CliRun none = cli({});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_TRUE(none.out.isEmpty());
  EXPECT_TRUE(none.err.contains(QStringLiteral("usage: korvane-cli")));
  EXPECT_EQ(cli({"fly"}).exitCode, 2);
}

TEST(CliUsage, BadCommandLinesAreUsageErrors) {
  const std::vector<QStringList> bad = {
      {"send", "--bogus", "a.nc"},        {"send", "--profile"},         {"send", "--profile", "0", "a.nc"},
      {"send"},                           {"receive", "--file"},         {"receive", "--file", "a", "--folder", "b"},
      {"receive"},                        {"receive", "stray"},          {"analyze"},
      {"dnc", "-o"},                      {"dnc", "--yes", "--no", "-o", "x", "a.nc"},
      {"dnc", "a.nc"},                    {"ports", "extra"},            {"settings", "--sav"},
      {"machine", "stray.nc"},            {"machine", "--exit-after"},   {"machine", "--idle-exit", "0"},
      {"restart"},                        {"restart", "a.nc"},           {"restart", "--from", "N1"},
      {"restart", "--from", "Q5", "a.nc"}, {"restart", "--from", "N1", "/nonexistent/a.nc"},
      {"send", "--lathe", "a.nc"},        {"send", "--from", "tool:0", "a.nc"},
  };
  for (const QStringList& args : bad) {
    const CliRun r = cli(args);
    EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString() << ": " << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("korvane-cli: ") + args.first()))
        << args.join(' ').toStdString() << ": " << r.err.toStdString();
  }
}

TEST(CliSettingsFile, AnUnreadableSettingsFileIsSaidBeforeAnythingIsSent) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("korvane.ini"))));  // a folder, not a file
  const QString program = dir.filePath(QStringLiteral("o1.nc"));
  QFile f(program);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("%\nO1\nM30\n%\n");
  f.close();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), dir.path());

  const CliRun send = cli({"send", program}, env);
  EXPECT_EQ(send.exitCode, 2);
  EXPECT_TRUE(send.err.contains(QStringLiteral("設定ファイルを読み込めません"))) << send.err.toStdString();
  EXPECT_TRUE(send.err.contains(dir.filePath(QStringLiteral("korvane.ini")))) << send.err.toStdString();
  EXPECT_FALSE(send.err.contains(QStringLiteral("送信が終了しました"))) << send.err.toStdString();

  const CliRun receive = cli({"receive", "--file", dir.filePath(QStringLiteral("in.nc"))}, env);
  EXPECT_EQ(receive.exitCode, 2);
  EXPECT_TRUE(receive.err.contains(QStringLiteral("設定ファイルを読み込めません"))) << receive.err.toStdString();

  const CliRun settings = cli({"settings"}, env);
  EXPECT_EQ(settings.exitCode, 0);
  EXPECT_TRUE(settings.err.contains(QStringLiteral("設定ファイルを読み込めません"))) << settings.err.toStdString();
  const CliRun save = cli({"settings", "--save"}, env);
  EXPECT_NE(save.exitCode, 0);
  EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("korvane.ini"))).isDir()) << "nothing written over it";
}

}  // namespace
