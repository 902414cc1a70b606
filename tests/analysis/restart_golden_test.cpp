// Every folder under tests/data/restart is one restart case:
//   program.nc           the program; further *.nc files (but expected.nc) hold subprograms, in
//                        name order
//   args.txt             what follows the files on `korvane-cli restart`: --from and --lathe/--mill
//   machine.txt          (optional) lines key=value of profile 1 (機械種類=1, 途中再開工具交換=0, ...)
//   expected.nc          the restart program, byte for byte
//   expected_refusal.txt or the reason it is refused, and on a second line the block offered
// Worked out by hand; a new case is a new folder. Each case runs through the library and through
// `korvane-cli restart` (the machine as profile 1 of a settings file of its own), which must
// agree with it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "analysis/block_selector.h"
#include "analysis/restart_program.h"
#include "analysis/restart_source.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/test_files.h"

using namespace korvane;

namespace {

struct RestartCase {
  QString name;
  QStringList files;
  QStringList args;
  QStringList machineKeys;
  QByteArray expected;         // the restart program, or empty
  QStringList expectedRefusal;  // the reason and the offer, or empty
};

QStringList lines(const QByteArray& bytes) {
  QStringList all = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
  while (!all.isEmpty() && all.last().isEmpty()) all.removeLast();
  return all;
}

QList<RestartCase> loadCases() {
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/restart"));
  QList<RestartCase> cases;
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir folder(root.filePath(name));
    RestartCase c;
    c.name = name;
    c.files << folder.filePath(QStringLiteral("program.nc"));
    for (const QString& file : folder.entryList({QStringLiteral("*.nc")}, QDir::Files, QDir::Name)) {
      if (file != QLatin1String("program.nc") && file != QLatin1String("expected.nc")) c.files << folder.filePath(file);
    }
    c.args = QProcess::splitCommand(QString::fromUtf8(test::readTestFile(folder.filePath(QStringLiteral("args.txt")))).trimmed());
    if (folder.exists(QStringLiteral("machine.txt"))) c.machineKeys = lines(test::readTestFile(folder.filePath(QStringLiteral("machine.txt"))));
    if (folder.exists(QStringLiteral("expected.nc"))) c.expected = test::readTestFile(folder.filePath(QStringLiteral("expected.nc")));
    if (folder.exists(QStringLiteral("expected_refusal.txt"))) {
      c.expectedRefusal = lines(test::readTestFile(folder.filePath(QStringLiteral("expected_refusal.txt"))));
    }
    cases << c;
  }
  return cases;
}

void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.name.toStdString(); }

// A settings file whose profile 1 holds the case's machine keys.
class CaseSettings {
 public:
  explicit CaseSettings(const RestartCase& c) {
    QByteArray text = "[COM1]\r\n";
    for (const QString& line : c.machineKeys) text += encodeCp932(line.trimmed()) + "\r\n";
    test::writeTestFile(dir_.path(), QStringLiteral("korvane.ini"), text);
    store_.loadSettings();
    EXPECT_TRUE(store_.loadProblem().isEmpty());
  }
  const PortProfile& profile() const { return store_.profile(1); }
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  SettingsStore store_{dir_.filePath(QStringLiteral("korvane.ini"))};
};

class RestartGolden : public ::testing::TestWithParam<RestartCase> {};

}  // namespace

TEST_P(RestartGolden, LibraryWritesTheExpectedProgramOrRefusal) {
  const RestartCase& c = GetParam();
  ASSERT_TRUE(c.expected.isEmpty() != c.expectedRefusal.isEmpty()) << "a case has expected.nc or expected_refusal.txt";
  const CaseSettings settings(c);
  MachineModel machine = machineOf(settings.profile());
  QString from;
  for (qsizetype i = 0; i < c.args.size(); ++i) {
    if (c.args[i] == QLatin1String("--from") && i + 1 < c.args.size()) from = c.args[++i];
    if (c.args[i] == QLatin1String("--lathe")) machine.kind = MachineModel::Kind::Lathe;
    if (c.args[i] == QLatin1String("--mill")) machine.kind = MachineModel::Kind::MachiningCentre;
  }
  QString error;
  RestartAt at;
  at.selector = BlockSelector::parse(from, &error);
  ASSERT_TRUE(at.selector) << error.toStdString();
  const std::optional<RestartSource> source = loadRestartSource(c.files, &error);
  ASSERT_TRUE(source) << error.toStdString();
  const RestartProgram restart =
      buildRestartProgram(source->bytes, source->displayName, at, machine, restartOptionsOf(settings.profile()));
  if (!c.expected.isEmpty()) {
    ASSERT_TRUE(restart.ok) << restart.reason.toStdString();
    EXPECT_EQ(restart.text.toStdString(), c.expected.toStdString());
    EXPECT_TRUE(restart.text.startsWith(restart.header));
  } else {
    ASSERT_FALSE(restart.ok);
    EXPECT_EQ(restart.reason.toStdString(), c.expectedRefusal.value(0).toStdString());
    if (c.expectedRefusal.size() > 1) {
      ASSERT_TRUE(restart.offer);
      EXPECT_TRUE(c.expectedRefusal[1].startsWith(restart.offer->describe() + QStringLiteral(" から")))
          << restart.offer->describe().toStdString();
      EXPECT_TRUE(c.expectedRefusal[1].contains(restart.offer->selector()));
    } else {
      EXPECT_FALSE(restart.offer);
    }
  }
}

TEST_P(RestartGolden, CliWritesTheSame) {
  const RestartCase& c = GetParam();
  const CaseSettings settings(c);
  QProcess cli;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("windir"), settings.folder());
  cli.setProcessEnvironment(environment);
  cli.start(QStringLiteral(KORVANE_CLI_PATH),
            QStringList{QStringLiteral("restart")} + c.files + c.args + QStringList{QStringLiteral("--profile"), QStringLiteral("1")});
  ASSERT_TRUE(cli.waitForFinished(30000));
  const QByteArray out = cli.readAllStandardOutput();
  const QString err = QString::fromUtf8(cli.readAllStandardError());
  if (!c.expected.isEmpty()) {
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(out.toStdString(), c.expected.toStdString());
  } else {
    EXPECT_EQ(cli.exitCode(), 2);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(err.toStdString(), (QStringLiteral("korvane-cli: restart: ") + c.expectedRefusal.join(QLatin1Char('\n')) +
                                  QLatin1Char('\n')).toStdString());
  }
}

TEST(RestartGolden, CliWritesTheRestartProgramToAFileWithO) {
  // -o writes what standard output would carry; a refusal leaves no file behind.
  const QString folder = QStringLiteral(KORVANE_TEST_DATA_DIR "/restart/mill_arc_continued_after_feed_down");
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("restart.nc"));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("windir"), dir.path());
  for (const QString& from : {QStringLiteral("N120"), QStringLiteral("N9999")}) {
    QProcess cli;
    cli.setProcessEnvironment(environment);
    QFile::remove(out);
    cli.start(QStringLiteral(KORVANE_CLI_PATH),
              {QStringLiteral("restart"), folder + QStringLiteral("/program.nc"), QStringLiteral("--from"), from, QStringLiteral("-o"), out});
    ASSERT_TRUE(cli.waitForFinished(30000));
    if (from == QLatin1String("N120")) {
      EXPECT_EQ(cli.exitCode(), 0);
      EXPECT_EQ(test::readTestFile(out), test::readTestFile(folder + QStringLiteral("/expected.nc")));
    } else {
      EXPECT_EQ(cli.exitCode(), 2);
      EXPECT_FALSE(QFile::exists(out));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RestartGolden, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<RestartCase>& info) { return info.param.name.toStdString(); });
