// Every folder under tests/data/analysis is one machining-time case:
//   expected.tsv     the result rows, one line each, the five texts separated by tabs
//   paths.txt        (optional) the files to measure, in order, relative to the folder; a
//                    name may be missing on disk. Without it: every other file, in name order.
//   unreadable.txt   (optional) the name of the file that cannot be read and ends the run
//   machine.txt      (optional) the machine: lines key=value with the keys of a profile section
//                    (機械種類=1, 最高回転数=2500, ...); without it the default profile, a
//                    machining centre
//   notes.md         (optional) how the figures were worked out; not read
// Hand-calculated figures; a new case is a new folder. Each case runs through kakou_time and
// through `korvane-cli analyze` (with the machine as profile 1 of a settings file of its own),
// which must print the same rows.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "analysis/machine_model.h"
#include "analysis/machining_time.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

using namespace korvane;

namespace {

struct AnalysisCase {
  QString name;
  QStringList paths;
  QStringList expectedRows;
  QString expectedUnreadable;
  QStringList machineKeys;  // key=value lines of profile 1
};

QString readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QStringList lines(const QString& text) {
  QStringList all = text.split(QLatin1Char('\n'));
  if (!all.isEmpty() && all.last().isEmpty()) all.removeLast();
  return all;
}

QList<AnalysisCase> loadCases() {
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/analysis"));
  const QStringList reserved{QStringLiteral("expected.tsv"), QStringLiteral("paths.txt"), QStringLiteral("unreadable.txt"),
                             QStringLiteral("machine.txt"), QStringLiteral("notes.md")};
  QList<AnalysisCase> cases;
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir folder(root.filePath(name));
    AnalysisCase c;
    c.name = name;
    QStringList files = lines(readText(folder.filePath(QStringLiteral("paths.txt"))));
    if (files.isEmpty()) {
      for (const QString& file : folder.entryList(QDir::Files, QDir::Name)) {
        if (!reserved.contains(file)) files << file;
      }
    }
    for (const QString& file : files) c.paths << folder.filePath(file);
    c.expectedRows = lines(readText(folder.filePath(QStringLiteral("expected.tsv"))));
    c.expectedUnreadable = readText(folder.filePath(QStringLiteral("unreadable.txt"))).trimmed();
    c.machineKeys = lines(readText(folder.filePath(QStringLiteral("machine.txt"))));
    cases << c;
  }
  return cases;
}

void PrintTo(const AnalysisCase& c, std::ostream* os) { *os << c.name.toStdString(); }

// A settings file whose profile 1 holds the case's machine keys, read as korvane reads it.
class CaseSettings {
 public:
  explicit CaseSettings(const AnalysisCase& c) {
    QByteArray text = "[COM1]\r\n";
    for (const QString& line : c.machineKeys) text += encodeCp932(line.trimmed()) + "\r\n";
    QFile file(dir_.filePath(QStringLiteral("korvane.ini")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    store_.loadSettings();
    EXPECT_TRUE(store_.loadProblem().isEmpty());
  }
  MachineModel machine() const { return machineOf(store_.profile(1)); }
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  SettingsStore store_{dir_.filePath(QStringLiteral("korvane.ini"))};
};

class MachiningGolden : public ::testing::TestWithParam<AnalysisCase> {};

}  // namespace

TEST_P(MachiningGolden, RowsMatch) {
  const AnalysisCase& c = GetParam();
  QStringList rows;
  QString unreadable;
  MachiningSink sink;
  sink.row = [&](const MachiningRow& row) { rows << row.texts().join(QLatin1Char('\t')); };
  sink.unreadable = [&](const QString& name, const QString& error) {
    EXPECT_FALSE(error.isEmpty());
    unreadable = name;
  };
  const CaseSettings settings(c);
  const bool complete = kakou_time(c.paths, sink, settings.machine());
  EXPECT_EQ(rows.join(QLatin1Char('\n')).toStdString(), c.expectedRows.join(QLatin1Char('\n')).toStdString());
  EXPECT_EQ(unreadable.toStdString(), c.expectedUnreadable.toStdString());
  EXPECT_EQ(complete, c.expectedUnreadable.isEmpty());
}

TEST_P(MachiningGolden, CliPrintsTheSameRows) {
  const AnalysisCase& c = GetParam();
  const CaseSettings settings(c);
  QProcess cli;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("windir"), settings.folder());
  cli.setProcessEnvironment(environment);
  cli.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("analyze"), QStringLiteral("--profile"), QStringLiteral("1")} + c.paths);
  ASSERT_TRUE(cli.waitForFinished(30000));
  const QString out = QString::fromUtf8(cli.readAllStandardOutput());
  const QString err = QString::fromUtf8(cli.readAllStandardError());
  EXPECT_EQ(out.toStdString(), c.expectedRows.isEmpty() ? std::string() : (c.expectedRows.join(QLatin1Char('\n')) + QLatin1Char('\n')).toStdString());
  if (c.expectedUnreadable.isEmpty()) {
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
  } else {
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(err.contains(c.expectedUnreadable)) << err.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MachiningGolden, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<AnalysisCase>& info) { return info.param.name.toStdString(); });
