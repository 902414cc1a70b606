// Every folder under tests/data/analysis is one machining-time case:
//   expected.tsv     the result rows, one line each, the five texts separated by tabs
//   paths.txt        (optional) the files to measure, in order, relative to the folder; a
//                    name may be missing on disk. Without it: every other file, in name order.
//   unreadable.txt   (optional) the name of the file that cannot be read and ends the run
// Hand-calculated figures; a new case is a new folder. Each case runs through kakou_time and
// through `korvane-cli analyze`, which must print the same rows.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "analysis/machining_time.h"

using namespace korvane;

namespace {

struct AnalysisCase {
  QString name;
  QStringList paths;
  QStringList expectedRows;
  QString expectedUnreadable;
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
  const QStringList reserved{QStringLiteral("expected.tsv"), QStringLiteral("paths.txt"), QStringLiteral("unreadable.txt")};
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
    cases << c;
  }
  return cases;
}

void PrintTo(const AnalysisCase& c, std::ostream* os) { *os << c.name.toStdString(); }

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
  const bool complete = kakou_time(c.paths, sink);
  EXPECT_EQ(rows.join(QLatin1Char('\n')).toStdString(), c.expectedRows.join(QLatin1Char('\n')).toStdString());
  EXPECT_EQ(unreadable.toStdString(), c.expectedUnreadable.toStdString());
  EXPECT_EQ(complete, c.expectedUnreadable.isEmpty());
}

TEST_P(MachiningGolden, CliPrintsTheSameRows) {
  const AnalysisCase& c = GetParam();
  QProcess cli;
  cli.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("analyze")} + c.paths);
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
