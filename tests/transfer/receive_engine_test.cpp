// Receptions that go wrong: the operator must hear about every loss, and what arrived stays.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/recording_view.h"
#include "transfer/receive_engine.h"
#include "transfer/tape_code.h"
#include "support/test_files.h"

using namespace korvane;
using namespace korvane::test;

namespace {

class Ui final : public ReceiveUi {
 public:
  std::optional<ReceiveMethod> method = ReceiveMethod::OneFile;
  QString folder;
  QString file;
  QStringList rows;
  std::optional<ReceiveMethod> chooseMethod() override { return method; }
  QString chooseFolder() override { return folder; }
  void clearFileList() override { rows.clear(); }
  void addFiles() override {
    if (!file.isEmpty()) rows << file;
  }
  QStringList fileListRows() const override { return rows; }
  void appendFileListRow(const QString& row) override { rows << row; }
  void setListTextBlue(bool) override {}
  void openFolder(const QString&) override {}
};

class Pump final : public EventPump {
 public:
  std::function<void()> onServe;
  void serveEvents() override {
    if (onServe) onServe();
  }
};

class ReceiveEngineTest : public ::testing::Test {
 protected:
  ReceiveEngineTest() : store(dir.filePath("korvane.ini")), port(clock) {
    store.loadSettings();
    ui.file = dir.filePath("out.nc");
    ui.folder = dir.path();
  }
  QByteArray fileBytes(const QString& path) { return readTestFile(path); }

  QTemporaryDir dir;
  SettingsStore store;
  FakeClock clock;
  FakeSerialPort port;
  RecordingView view;
  Pump pump;
  Ui ui;
  std::atomic<bool> cancel{false};
  TransferContext context{port, view, pump, clock, cancel};
  ReceiveEngine engine{store, context, ui};
};

}  // namespace

TEST_F(ReceiveEngineTest, CancelInTheDialogsChangesNothing) {
  ui.method.reset();
  EXPECT_EQ(engine.press(), ReceiveOutcome::NotStarted);
  ui.method = ReceiveMethod::FolderPerProgram;
  ui.folder.clear();
  ui.rows = {"kept"};
  EXPECT_EQ(engine.press(), ReceiveOutcome::NotStarted);
  EXPECT_EQ(ui.rows, QStringList{"kept"}) << "a folder reception clears the list only after a folder was chosen";
  ui.method = ReceiveMethod::OneFile;
  ui.file.clear();
  EXPECT_EQ(engine.press(), ReceiveOutcome::NotStarted);
  EXPECT_TRUE(ui.rows.isEmpty()) << "a one-file reception has already cleared the list";
  EXPECT_EQ(port.openCount, 0);
  EXPECT_TRUE(view.events.isEmpty());
}

TEST_F(ReceiveEngineTest, PortThatCannotOpenEndsAtOnceWithItsText) {
  port.failOpen = true;
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  EXPECT_EQ(view.messages.first(), port.openError.description);
  EXPECT_FALSE(view.messages.contains(kReceiveDoneMessage));
  EXPECT_EQ(view.events.last(), "leave receive");
}

TEST_F(ReceiveEngineTest, OutputFileThatCannotBeCreatedIsReportedBeforeTheMachineStarts) {
  ui.file = dir.filePath("no-such-folder/out.nc");
  store.profile(1).useDc2Dc4 = 1;
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  EXPECT_TRUE(view.messages.first().endsWith(ui.file)) << view.messages.first().toStdString();
  EXPECT_TRUE(port.wire.isEmpty()) << "no DC1 for data that could not be stored";
  EXPECT_FALSE(view.messages.contains(kReceiveDoneMessage));
}

TEST_F(ReceiveEngineTest, ProgramFileThatCannotBeCreatedStopsTheReception) {
  ui.method = ReceiveMethod::FolderPerProgram;
  QDir(dir.path()).mkdir("O0001.nc");  // a folder where the program file should go
  port.feed(QByteArray::fromHex("A50ACFB10A4D33300AA5"));  // % O1 M30 %
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  EXPECT_TRUE(view.messages.first().endsWith(dir.filePath("O0001.nc")));
  EXPECT_EQ(view.messages.last(), kReceiveAbortedMessage);
}

TEST_F(ReceiveEngineTest, PortLostMidReceptionKeepsEveryCompletedLine) {
  port.feed(QByteArray::fromHex("A50A47B10A4DB2"));  // % G1 and half a line
  int serves = 0;
  pump.onServe = [&] {
    if (++serves == 5) port.pullPlug();
  };
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  EXPECT_EQ(fileBytes(ui.file), QByteArray("%\r\nG1\r\n"));
  EXPECT_EQ(view.messages.first(), "デバイスが切断されました");
  EXPECT_EQ(view.messages.last(), kReceiveAbortedMessage);
}

TEST_F(ReceiveEngineTest, BytesThatArrivedWithTheLossAreStillWritten) {
  // A device server sends its last bytes and closes the connection in one go.
  pump.onServe = [&] {
    if (port.isOpen() && !port.failure()) {
      port.feed(QByteArray::fromHex("A50A47B10A4DB2"));  // % G1 and half a line
      port.pullPlug();
    }
  };
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  EXPECT_EQ(fileBytes(ui.file), QByteArray("%\r\nG1\r\n"));
  EXPECT_EQ(view.messages.first(), "デバイスが切断されました");
}

TEST_F(ReceiveEngineTest, EndOfDataThatArrivedWithTheLossCompletes) {
  pump.onServe = [&] {
    if (port.isOpen() && !port.failure()) {
      port.feed(QByteArray::fromHex("A50A47B10AA5"));  // % G1 %
      port.pullPlug();
    }
  };
  EXPECT_EQ(engine.press(), ReceiveOutcome::Completed);
  EXPECT_EQ(fileBytes(ui.file), QByteArray("%\r\nG1\r\n%\r\n"));
}

TEST_F(ReceiveEngineTest, PressWhileReceivingAborts) {
  int serves = 0;
  pump.onServe = [&] {
    if (++serves == 3) {
      EXPECT_EQ(engine.press(), ReceiveOutcome::NotStarted);
    }
  };
  EXPECT_EQ(engine.press(), ReceiveOutcome::Aborted);
  EXPECT_EQ(view.caption, kReceiveAbortedCaption);
  EXPECT_EQ(port.openCount, 1);
}

TEST_F(ReceiveEngineTest, DcThreeGivesUpWhenModemLinesAreDownAfterAbort) {
  store.profile(1).useDc2Dc4 = 1;
  pump.onServe = [&] {
    if (port.isOpen() && port.handshaking != 0) {
      port.modemLines = false;
      cancel = true;
    }
  };
  EXPECT_EQ(engine.press(), ReceiveOutcome::Aborted);
  EXPECT_EQ(port.wire.toHex(), "11") << "DC1 at the start, no DC3 with the lines down";
}

namespace {

QByteArray isoTape(const QString& text) {
  QByteArray bytes;
  for (const QChar c : text) bytes += char(*convertSendCharacter(c, TapeCode::Iso));
  return bytes;
}

}  // namespace

// Three hundred digits make a name no file system takes: the program is kept all the same, under
// a name the operator is told.
TEST_F(ReceiveEngineTest, ProgramNumberTooLongForAFileNameIsKeptUnderAShortenedName) {
  ui.method = ReceiveMethod::FolderPerProgram;
  const QString digits = QString(300, QLatin1Char('7'));
  port.feed(isoTape("%\nO" + digits + "\nG1\nM30\nO2\nM30\n%"));
  EXPECT_EQ(engine.press(), ReceiveOutcome::Completed);
  const QStringList files = QDir(dir.path()).entryList({"O*"}, QDir::Files, QDir::Name);
  ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
  EXPECT_EQ(files[0], "O0002.nc");
  const QString shortened = files[1];
  EXPECT_TRUE(shortened.startsWith("O" + digits.left(kShortenedProgramDigits) + "-")) << shortened.toStdString();
  EXPECT_TRUE(shortened.endsWith(".nc"));
  EXPECT_EQ(fileBytes(dir.filePath(shortened)), ("%\r\nO" + digits + "\r\nG1\r\nM30\r\n%\r\n").toLatin1());
  ASSERT_EQ(view.messages.size(), 2);
  EXPECT_TRUE(view.messages[0].contains(shortened)) << "the operator is told the name";
  EXPECT_EQ(view.messages[1], kReceiveDoneMessage);
}

TEST(ReceiveNames, ShortenedNamesDoNotOverwriteEachOther) {
  QTemporaryDir dir;
  const QString longName = "O" + QString(300, QLatin1Char('1')) + ".nc";
  const QDateTime when(QDate(2026, 12, 8), QTime(16, 5, 9));
  const QString first = fittingProgramFileName(dir.path(), longName, when);
  EXPECT_EQ(first, "O1111111111111111-20261208-160509.nc");
  writeTestFile(dir.path(), first, "x");
  EXPECT_EQ(fittingProgramFileName(dir.path(), longName, when), "O1111111111111111-20261208-160509-2.nc");
  EXPECT_EQ(fittingProgramFileName(dir.path(), "O0012.nc", when), "O0012.nc");
}

// A full disk: the system's own reason, not "Unknown error".
TEST_F(ReceiveEngineTest, FullDiskReportsTheSystemsReason) {
  ui.file = "/dev/full";
  port.feed(isoTape("%\nG1\n%"));
  EXPECT_EQ(engine.press(), ReceiveOutcome::Failed);
  ASSERT_FALSE(view.messages.isEmpty());
  EXPECT_TRUE(view.messages.first().startsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))))
      << view.messages.first().toStdString();
  EXPECT_TRUE(view.messages.first().endsWith("\r\n/dev/full"));
}

TEST(ReceiveNames, ProgramFileNames) {
  EXPECT_EQ(programFileName("O12", ".nc"), "O0012.nc");
  EXPECT_EQ(programFileName("O 7", ".nc"), "O0007.nc");
  EXPECT_EQ(programFileName("O1 2 3", ""), "O0123");
  EXPECT_EQ(programFileName("O123456", ".nc"), "O123456.nc");
  EXPECT_EQ(programFileName("OABC", ".nc"), "O0000.nc");
  EXPECT_EQ(programFileName("N10O0042(X)", ".nc"), "O0042.nc");
  EXPECT_EQ(programExtension("*.nc;*.txt"), ".nc");
  EXPECT_EQ(programExtension("*.txt;*.nc"), ".txt");
  EXPECT_EQ(programExtension(""), ".nc");
  EXPECT_EQ(programExtension("*"), "");
}
