// The DNC conversion's behaviour around its data: where the work file lives, what a failure
// leaves behind, calls that would never end, many programs, re-entry and cancel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "analysis/dnc_converter.h"
#include "dnc_test_support.h"

using namespace korvane;
using namespace korvane::test;

namespace {

class DncConverterTest : public ::testing::Test {
 protected:
  QString list(const QString& name, const QStringList& lines) { return writeLines(QDir(data.path()), name, lines); }
  QString destination() const { return out.filePath(QStringLiteral("out.dnc")); }

  QTemporaryDir data;
  QTemporaryDir out;
  QTemporaryDir tmp;
  ScopedEnv tmpEnv{"TMPDIR", tmp.path()};
};

// The files this process holds open below folder, as the system names them. A work file without
// a name shows as "<folder>/#<inode> (deleted)".
QStringList openFilesBelow(const QString& folder) {
  QStringList found;
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    const QString target = QFile::symLinkTarget(fds.filePath(fd));
    if (target.startsWith(folder + QLatin1Char('/'))) found << target;
  }
  return found;
}

TEST_F(DncConverterTest, WorkFileIsOpenInTmpdirDuringTheRunAndGoneAfter) {
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000", "M30", "%"}), list("2.nc", {"O1000", "G01 X1.", "M99"})};
  const QString tmpFolder = QDir(tmp.path()).canonicalPath();
  QStringList duringRun;
  DncHooks hooks;
  hooks.expansionStarting = [&] { duringRun = openFilesBelow(tmpFolder); };
  const DncResult result = DncConverter(hooks).run(rows, destination());
  ASSERT_EQ(result.outcome, DncOutcome::Converted);
  EXPECT_EQ(duringRun.size(), 1) << duringRun.join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(openFilesBelow(tmpFolder), QStringList{});
  EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
}

TEST_F(DncConverterTest, UsersTempDncInTheCurrentFolderIsLeftAlone) {
  QTemporaryDir cwd;
  const QString oldCwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(cwd.path()));
  writeLines(QDir(cwd.path()), QStringLiteral("temp.dnc"), {"MY OWN FILE"});
  const QStringList rows{list("1.nc", {"%", "O0001", "M30", "%"})};
  const DncResult result = DncConverter().run(rows, destination());
  QDir::setCurrent(oldCwd);
  EXPECT_EQ(result.outcome, DncOutcome::Converted);
  EXPECT_EQ(readAll(cwd.filePath(QStringLiteral("temp.dnc"))), QByteArray("MY OWN FILE\r\n"));
  EXPECT_EQ(entriesIn(cwd.path()), QStringList{QStringLiteral("temp.dnc")});
}

TEST_F(DncConverterTest, UnusableTmpdirFailsWithAMessageAndCreatesNothing) {
  const ScopedEnv missing("TMPDIR", tmp.filePath(QStringLiteral("no/such/folder")));
  const DncResult result = DncConverter().run({list("1.nc", {"%", "O0001", "M30", "%"})}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Failed);
  EXPECT_FALSE(result.message.isEmpty());
  EXPECT_FALSE(QFile::exists(destination()));
}

TEST_F(DncConverterTest, UnwritableDestinationFailsAndLeavesNoWorkFile) {
  const QString aFile = list("1.nc", {"%", "O0001", "M30", "%"});
  // A path below a plain file can be created by nobody, not even by root.
  for (const QString& target : {aFile + QStringLiteral("/out.dnc"), out.path(), QString()}) {
    bool asked = false;
    DncHooks hooks;
    hooks.expansionStarting = [&] { asked = true; };
    const DncResult result = DncConverter(hooks).run({aFile}, target);
    EXPECT_EQ(result.outcome, DncOutcome::Failed) << target.toStdString();
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_FALSE(asked);
    EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
  }
  EXPECT_EQ(entriesIn(out.path()), QStringList{});
}

TEST_F(DncConverterTest, UnreadableListFileNamesItAndLeavesTheDestinationAsItWas) {
  writeLines(QDir(out.path()), QStringLiteral("out.dnc"), {"OLD"});
  const QString missing = data.filePath(QStringLiteral("gone.nc"));
  const DncResult result = DncConverter().run({list("1.nc", {"%", "O0001", "M30", "%"}), missing}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Failed);
  EXPECT_TRUE(result.message.contains(QStringLiteral("gone.nc"))) << result.message.toStdString();
  EXPECT_EQ(readAll(destination()), QByteArray("OLD\r\n"));
  EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
}

TEST_F(DncConverterTest, RecursionStopsWithTheChainAndKeepsTheOldDestination) {
  writeLines(QDir(out.path()), QStringLiteral("out.dnc"), {"OLD"});
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000", "M30", "%"}),
                         list("2.nc", {"O1000", "M98P2000", "M99", "O2000", "M98P1000L2", "M99"})};
  const DncResult result = DncConverter().run(rows, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Failed);
  EXPECT_TRUE(result.message.contains(QStringLiteral("O1000 → O2000 → O1000"))) << result.message.toStdString();
  EXPECT_EQ(result.converted, (QStringList{"  O1000", "    O2000"}));
  EXPECT_EQ(readAll(destination()), QByteArray("OLD\r\n"));
  EXPECT_EQ(entriesIn(out.path()), QStringList{QStringLiteral("out.dnc")});
  EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
}

TEST_F(DncConverterTest, CallWithoutANumberIsKeptAsWrittenAndListed) {
  // No number after P (or a macro variable) calls nothing that can be found in the list.
  const DncResult result = DncConverter().run(
      {list("1.nc", {"%", "O0001", "M98P", "M98 P#100", "M30", "%"}), list("2.nc", {"O100", "G01 X1.", "M99"})},
      destination());
  EXPECT_EQ(result.outcome, DncOutcome::Converted);
  EXPECT_EQ(result.unconverted, (QStringList{"M98P", "M98 P#100"}));
  EXPECT_EQ(readAll(destination()), QByteArray("%\r\nO0001\r\nM98P\r\nM98 P#100\r\nM30\r\n%\r\n"));
}

TEST_F(DncConverterTest, SameSubprogramTwiceInOneChainButNotNestedIsNoRecursion) {
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000", "M98P2000", "M30", "%"}),
                         list("2.nc", {"O1000", "M98P3000", "M99", "O2000", "M98P3000", "M99", "O3000", "G01 X3.", "M99"})};
  const DncResult result = DncConverter().run(rows, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Converted) << result.message.toStdString();
  EXPECT_EQ(readAll(destination()), QByteArray("%\r\nO0001\r\nG01 X3.\r\nG01 X3.\r\nM30\r\n%\r\n"));
}

TEST_F(DncConverterTest, DuplicateCheckHasNoLimitOnTheNumberOfPrograms) {
  QStringList lines{"%", "O0001", "M30", "%"};
  for (int n = 2; n <= 1500; ++n) lines << QStringLiteral("O%1").arg(n) << QStringLiteral("M99");
  lines << "O1001" << "M99" << "O1500" << "M99" << "O2" << "M99";
  QString asked;
  DncHooks hooks;
  hooks.stopOnDuplicates = [&](const QString& q) {
    asked = q;
    return true;
  };
  const DncResult result = DncConverter(hooks).run({list("1.nc", lines)}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Stopped);
  EXPECT_EQ(result.duplicateReport, QStringLiteral("  O1001\r\n  O1500\r\n  O2\r\n"));
  EXPECT_EQ(asked, dncDuplicateQuestion(result.duplicateReport));
  EXPECT_EQ(readAll(destination()), QByteArray());
  EXPECT_TRUE(QFile::exists(destination()));
}

TEST_F(DncConverterTest, StoppingAtTheQuestionEmptiesAnExistingDestination) {
  writeLines(QDir(out.path()), QStringLiteral("out.dnc"), {"OLD"});
  DncHooks hooks;
  hooks.stopOnDuplicates = [](const QString&) { return true; };
  const DncResult result = DncConverter(hooks).run({list("1.nc", {"%", "O0001", "M30", "O0001", "%"})}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Stopped);
  EXPECT_TRUE(QFile::exists(destination()));
  EXPECT_EQ(readAll(destination()), QByteArray());
  EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
}

TEST_F(DncConverterTest, WithoutAQuestionHookRepeatsDoNotStopTheRun) {
  const DncResult result = DncConverter().run({list("1.nc", {"%", "O0001", "M30", "O0001", "%"})}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Converted);
  EXPECT_EQ(result.duplicateReport, QStringLiteral("  O1\r\n"));
}

TEST_F(DncConverterTest, SecondConversionStartedFromServedEventsIsRefused) {
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000", "M30", "%"}), list("2.nc", {"O1000", "G01 X1.", "M99"})};
  std::optional<DncResult> inner;
  bool runningSeen = false;
  DncHooks hooks;
  hooks.serveEvents = [&] {
    runningSeen = DncConverter::anyRunning();
    if (!inner) inner = DncConverter().run(rows, out.filePath(QStringLiteral("second.dnc")));
  };
  const DncResult outer = DncConverter(hooks).run(rows, destination());
  ASSERT_TRUE(inner.has_value());
  EXPECT_EQ(inner->outcome, DncOutcome::Busy);
  EXPECT_FALSE(inner->message.isEmpty());
  EXPECT_TRUE(runningSeen);
  EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("second.dnc"))));
  EXPECT_EQ(outer.outcome, DncOutcome::Converted);
  EXPECT_FALSE(DncConverter::anyRunning());
}

TEST_F(DncConverterTest, CancelDiscardsTheOutputAndTheWorkFile) {
  QStringList lines{"%", "O0001", "M98P1000L1000000", "M30", "%", "O1000", "G01 X1.", "M99"};
  int served = 0;
  DncHooks hooks;
  hooks.serveEvents = [&] { ++served; };
  hooks.cancelRequested = [&] { return served >= 3; };
  const DncResult result = DncConverter(hooks).run({list("1.nc", lines)}, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Cancelled);
  EXPECT_FALSE(result.message.isEmpty());
  EXPECT_FALSE(QFile::exists(destination()));
  EXPECT_EQ(entriesIn(out.path()), QStringList{});
  EXPECT_EQ(entriesIn(tmp.path()), QStringList{});
}

TEST_F(DncConverterTest, EmptyListFileAddsNoLines) {
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000"}), list("2.nc", {}), list("3.nc", {"O1000", "G01 X1.", "M99"})};
  const DncResult result = DncConverter().run(rows, destination());
  EXPECT_EQ(result.outcome, DncOutcome::Converted);
  EXPECT_EQ(readAll(destination()), QByteArray("%\r\nO0001\r\nG01 X1.\r\nO1000\r\nG01 X1.\r\nM99\r\n%\r\n"));
}

TEST_F(DncConverterTest, ExpansionStartsOnlyAfterTheQuestion) {
  QStringList order;
  DncHooks hooks;
  hooks.stopOnDuplicates = [&](const QString&) {
    order << "question";
    return false;
  };
  hooks.expansionStarting = [&] { order << "expansion"; };
  hooks.convertedAdded = [&](const QString& e) { order << e; };
  const QStringList rows{list("1.nc", {"%", "O0001", "M98P1000", "M30", "%"}), list("2.nc", {"O1000", "M99", "O1000", "M99"})};
  DncConverter(hooks).run(rows, destination());
  EXPECT_EQ(order, (QStringList{"question", "expansion", "  O1000"}));
}

}  // namespace
