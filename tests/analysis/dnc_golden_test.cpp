// Every case folder under tests/data/dnc runs through the DNC conversion, once through the
// converter itself and once through korvane-cli dnc. A folder holds:
//   1.nc 2.nc ...   the list files in list order; N.missing names a file that does not exist
//   case.txt        answer=yes|no (the answer to the duplicate question; without it the question
//                   must not come) and outcome=converted|stopped|failed
//   question.txt    the exact duplicate question, when one is expected
//   expected.dnc    the exact bytes of the destination; without it no destination may exist
//   converted.txt, unconverted.txt   the entries of the two lists, one per line
// A new case is a new folder. The expected files are written by hand.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "analysis/dnc_converter.h"
#include "dnc_test_support.h"

using namespace korvane;
using korvane::test::readAll;

namespace {

struct DncCase {
  QString name;
  QStringList rows;
  QString answer;
  QString outcome;
  std::optional<QString> question;
  std::optional<QByteArray> expected;
  QStringList converted;
  QStringList unconverted;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const DncCase& c, std::ostream* os) { *os << c.name.toStdString(); }

QStringList readEntries(const QString& path) {
  QStringList entries = QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'));
  if (!entries.isEmpty() && entries.last().isEmpty()) entries.removeLast();
  return entries;
}

QList<DncCase> loadDncCases() {
  QList<DncCase> cases;
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/dnc"));
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir dir(root.filePath(name));
    DncCase c;
    c.name = name;
    QStringList files = dir.entryList({QStringLiteral("*.nc"), QStringLiteral("*.missing")}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
      return a.section(QLatin1Char('.'), 0, 0).toInt() < b.section(QLatin1Char('.'), 0, 0).toInt();
    });
    for (const QString& f : files) {
      c.rows << (f.endsWith(QLatin1String(".missing")) ? dir.filePath(QStringLiteral("does-not-exist-") + f)
                                                        : dir.filePath(f));
    }
    for (const QString& line : QString::fromUtf8(readAll(dir.filePath(QStringLiteral("case.txt")))).split(QLatin1Char('\n'))) {
      const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
      const QString value = line.section(QLatin1Char('='), 1).trimmed();
      if (key == QLatin1String("answer")) c.answer = value;
      if (key == QLatin1String("outcome")) c.outcome = value;
    }
    if (dir.exists(QStringLiteral("question.txt"))) c.question = QString::fromUtf8(readAll(dir.filePath(QStringLiteral("question.txt"))));
    if (dir.exists(QStringLiteral("expected.dnc"))) c.expected = readAll(dir.filePath(QStringLiteral("expected.dnc")));
    c.converted = readEntries(dir.filePath(QStringLiteral("converted.txt")));
    c.unconverted = readEntries(dir.filePath(QStringLiteral("unconverted.txt")));
    cases << c;
  }
  return cases;
}

QString outcomeName(DncOutcome o) {
  switch (o) {
    case DncOutcome::Converted: return QStringLiteral("converted");
    case DncOutcome::Stopped: return QStringLiteral("stopped");
    case DncOutcome::Failed: return QStringLiteral("failed");
    case DncOutcome::Cancelled: return QStringLiteral("cancelled");
    case DncOutcome::Busy: return QStringLiteral("busy");
  }
  return {};
}

// The destination's folder and the temporary folder hold nothing but what is expected.
void expectNoLeftovers(const QTemporaryDir& outDir, const QTemporaryDir& tmpDir, bool destinationExpected) {
  const QStringList outFiles = QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  EXPECT_EQ(outFiles, destinationExpected ? QStringList{QStringLiteral("out.dnc")} : QStringList{});
  EXPECT_EQ(QDir(tmpDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
}

class DncGolden : public ::testing::TestWithParam<DncCase> {};

}  // namespace

TEST_P(DncGolden, ConverterMatches) {
  const DncCase& c = GetParam();
  QTemporaryDir outDir;
  QTemporaryDir tmpDir;
  const test::ScopedEnv tmpEnv("TMPDIR", tmpDir.path());
  const QString destination = outDir.filePath(QStringLiteral("out.dnc"));

  std::optional<QString> asked;
  QStringList liveConverted;
  QStringList liveUnconverted;
  DncHooks hooks;
  hooks.stopOnDuplicates = [&](const QString& question) {
    asked = question;
    if (c.answer.isEmpty()) ADD_FAILURE() << "unexpected question: " << question.toStdString();
    return c.answer == QLatin1String("yes");
  };
  hooks.convertedAdded = [&](const QString& e) { liveConverted << e; };
  hooks.unconvertedAdded = [&](const QString& e) { liveUnconverted << e; };
  DncConverter converter(hooks);

  const DncResult result = converter.run(c.rows, destination);

  EXPECT_EQ(outcomeName(result.outcome), c.outcome) << result.message.toStdString();
  EXPECT_EQ(result.message.isEmpty(), c.outcome != QLatin1String("failed"));
  EXPECT_EQ(asked, c.question);
  EXPECT_EQ(result.converted, c.converted);
  EXPECT_EQ(result.unconverted, c.unconverted);
  EXPECT_EQ(liveConverted, c.converted);
  EXPECT_EQ(liveUnconverted, c.unconverted);
  EXPECT_EQ(QFile::exists(destination), c.expected.has_value());
  if (c.expected) {
    EXPECT_EQ(readAll(destination).toStdString(), c.expected->toStdString());
  }
  expectNoLeftovers(outDir, tmpDir, c.expected.has_value());
  EXPECT_FALSE(DncConverter::anyRunning());
}

TEST_P(DncGolden, CommandLineMatches) {
  const DncCase& c = GetParam();
  QTemporaryDir outDir;
  QTemporaryDir tmpDir;
  const QString destination = outDir.filePath(QStringLiteral("out.dnc"));

  QStringList args{QStringLiteral("dnc"), QStringLiteral("-o"), destination};
  if (!c.answer.isEmpty()) args << QStringLiteral("--") + c.answer;
  args << c.rows;
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("TMPDIR"), tmpDir.path());
  cli.setProcessEnvironment(env);
  cli.setStandardInputFile(QProcess::nullDevice());
  cli.start(QStringLiteral(KORVANE_CLI_PATH), args);
  ASSERT_TRUE(cli.waitForFinished(30000));
  const QString stdErr = QString::fromUtf8(cli.readAllStandardError());

  const int expectedStatus = c.outcome == QLatin1String("converted") ? 0 : c.outcome == QLatin1String("stopped") ? 1 : 2;
  EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cli.exitCode(), expectedStatus) << stdErr.toStdString();
  QString expectedOut;
  if (expectedStatus == 0) {
    expectedOut = QStringLiteral("変換されたＳＵＢ\n");
    for (const QString& e : c.converted) expectedOut += e + QLatin1Char('\n');
    expectedOut += QStringLiteral("変換されないＳＵＢ\n");
    for (const QString& e : c.unconverted) expectedOut += e + QLatin1Char('\n');
  }
  EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()).toStdString(), expectedOut.toStdString());
  EXPECT_EQ(QFile::exists(destination), c.expected.has_value());
  if (c.expected) {
    EXPECT_EQ(readAll(destination).toStdString(), c.expected->toStdString());
  }
  if (c.question) {
    QString shown = *c.question;
    EXPECT_TRUE(stdErr.contains(shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")))) << stdErr.toStdString();
  }
  expectNoLeftovers(outDir, tmpDir, c.expected.has_value());
}

INSTANTIATE_TEST_SUITE_P(Cases, DncGolden, ::testing::ValuesIn(loadDncCases()),
                         [](const ::testing::TestParamInfo<DncCase>& info) { return info.param.name.toStdString(); });
