#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include "platform/desktop/process_launcher.h"

namespace korvane {
namespace {

struct Launch {
  QString program;
  QStringList args;
};

class RecordingLauncher final : public ProcessLauncher {
 public:
  std::optional<QString> startDetached(const QString& program, const QStringList& args) override {
    launches.append({program, args});
    return std::nullopt;
  }
  QList<Launch> launches;
};

// A path that a shell would cut at the blanks, end at the ";" and run the rest of.
const QString kHostilePath = QStringLiteral("/tmp/a b/\"quoted\" it's;touch pwned;x.nc");

TEST(StoredCommand, BareProgramGetsThePathAsOneArgument) {
  RecordingLauncher launcher;
  EXPECT_FALSE(startStoredCommand(launcher, QStringLiteral("gedit"), {kHostilePath}));
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("gedit"));
  EXPECT_EQ(launcher.launches[0].args, QStringList{kHostilePath});
}

TEST(StoredCommand, WordsAfterTheProgramComeBeforeThePaths) {
  RecordingLauncher launcher;
  EXPECT_FALSE(startStoredCommand(launcher, QStringLiteral("  \"/opt/my tools/view\" -p --ro "),
                                  {QStringLiteral("1.nc"), kHostilePath}));
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("/opt/my tools/view"));
  EXPECT_EQ(launcher.launches[0].args,
            (QStringList{QStringLiteral("-p"), QStringLiteral("--ro"), QStringLiteral("1.nc"), kHostilePath}));
}

TEST(StoredCommand, ExistingProgramWithBlanksInItsPathIsNotSplit) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString program = dir.filePath(QStringLiteral("my editor"));
  QFile file(program);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  RecordingLauncher launcher;
  EXPECT_FALSE(startStoredCommand(launcher, program, {QStringLiteral("a.nc")}));
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, program);
  EXPECT_EQ(launcher.launches[0].args, QStringList{QStringLiteral("a.nc")});
}

TEST(StoredCommand, BlankCommandStartsNothingAndSaysSo) {
  RecordingLauncher launcher;
  const auto error = startStoredCommand(launcher, QStringLiteral("   "), {QStringLiteral("a.nc")});
  ASSERT_TRUE(error.has_value());
  EXPECT_FALSE(error->isEmpty());
  EXPECT_TRUE(launcher.launches.isEmpty());
}

TEST(DesktopOpener, FoldersAndAddressesGoToXdgOpen) {
  RecordingLauncher launcher;
  launcher.openPath(kHostilePath);
  launcher.openUrl(QStringLiteral("mailto:someone@example.org"));
  ASSERT_EQ(launcher.launches.size(), 2);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("xdg-open"));
  EXPECT_EQ(launcher.launches[0].args, QStringList{kHostilePath});
  EXPECT_EQ(launcher.launches[1].args, QStringList{QStringLiteral("mailto:someone@example.org")});
}

TEST(QtProcessLauncher, RealProgramReceivesTheHostilePathAsOneArgumentAndRunsNothingElse) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = dir.filePath(QStringLiteral("out.txt"));
  const QString script = dir.filePath(QStringLiteral("record.sh"));
  {
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Writes to a temporary name first so the test never reads a half-written file.
    file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.part' && mv '%1.part' '%1'\n")
                   .arg(out)
                   .toUtf8());
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
  }
  const QString arg = dir.filePath(QStringLiteral("a b \"c\" 'd';touch pwned;e.nc"));
  QtProcessLauncher launcher;
  ASSERT_FALSE(launcher.startDetached(script, {arg}));

  QDeadlineTimer deadline(10000);
  while (!QFileInfo::exists(out) && !deadline.hasExpired()) QThread::msleep(10);
  QFile result(out);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(result.readAll()), QStringLiteral("1\n") + arg + QStringLiteral("\n"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("pwned"))));
  EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
}

TEST(QtProcessLauncher, MissingProgramGivesAMessageNamingItAndTheReason) {
  QtProcessLauncher launcher;
  const QString program = QStringLiteral("/nonexistent/korvane-no-such-editor");
  const auto error = launcher.startDetached(program, {QStringLiteral("a.nc")});
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->contains(program));
  EXPECT_TRUE(error->contains(QStringLiteral("プログラムが見つかりません"))) << error->toStdString();
  const auto notOnPath = launcher.startDetached(QStringLiteral("korvane-no-such-viewer"), {});
  ASSERT_TRUE(notOnPath.has_value());
  EXPECT_TRUE(notOnPath->contains(QStringLiteral("korvane-no-such-viewer")));
  EXPECT_TRUE(notOnPath->contains(QStringLiteral("プログラムが見つかりません"))) << notOnPath->toStdString();
}

TEST(QtProcessLauncher, ADesktopOpenerThatFindsNoProgramIsReportedWithItsReason) {
  // An opener that starts but has nothing to open with, as xdg-open without a desktop.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString opener = dir.filePath(QStringLiteral("xdg-open"));
  {
    QFile file(opener);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
  }
  QtProcessLauncher launcher;
  QStringList reports;
  launcher.setFailureReport([&](const QString& message) { reports << message; });
  EXPECT_FALSE(launcher.startDetached(opener, {QStringLiteral("/tmp/some folder")}).has_value());
  QDeadlineTimer deadline(10000);
  while (reports.isEmpty() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].contains(opener)) << reports[0].toStdString();
  EXPECT_TRUE(reports[0].contains(QStringLiteral("no method available"))) << reports[0].toStdString();

  // One that succeeds says nothing.
  reports.clear();
  launcher.setWatchedPrograms({QStringLiteral("true")});
  EXPECT_FALSE(launcher.startDetached(QStringLiteral("/bin/true"), {}).has_value());
  QDeadlineTimer settle(500);
  while (!settle.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_TRUE(reports.isEmpty());
}

}  // namespace
}  // namespace korvane
