// "途中から送信": the dialog lists the program's blocks and finds them as the command line names
// them, shows the restart program's header or why there is none, and the window sends the
// restart program as 送信 sends a file, showing the program's row as the one being sent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "analysis/restart_source.h"
#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/test_files.h"
#include "test_doubles.h"
#include "ui/main_window.h"
#include "ui/restart_dialog.h"

using namespace korvane;
using namespace korvane::test;

namespace {

const QByteArray kProgram =
    "%\r\nO5000 (POCKET)\r\nG21 G17 G90 G94\r\nT01 M06\r\nG00 G54 X0 Y0 S1500 M03\r\nG43 H01 Z30. M08\r\n"
    "G01 Z-2. F120\r\nN30 X40. F300\r\nY20.\r\nG41 D1 X0\r\nG40 Y0\r\nG00 Z30.\r\nT02 M06\r\n"
    "G00 X5. Y5. S2500 M03\r\nG43 H02 Z20.\r\nG01 Z-1. F100\r\nX25.\r\nG00 Z20.\r\nM30\r\n%\r\n";

QString cell(const frmRestart& dialog, int row, int column) {
  return dialog.lstblocks->model()->index(row, column).data().toString();
}

int currentRow(const frmRestart& dialog) { return dialog.lstblocks->currentIndex().row(); }

// What the wire carried, as text: parity and the blank that makes a block even gone.
QByteArray wireText(const QByteArray& wire) {
  QByteArray text;
  for (const char c : wire) {
    const char b = char(c & 0x7F);
    if (b != '\0' && b != '\r') text.append(b);
  }
  text.replace(" \n", "\n");
  return text;
}

class RestartDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    program = writeTestFile(dir.path(), QStringLiteral("O5000.nc"), kProgram);
    QString error;
    source = loadRestartSource({program}, &error);
    ASSERT_TRUE(source) << error.toStdString();
  }

  QTemporaryDir dir;
  QString program;
  std::optional<RestartSource> source;
};

}  // namespace

TEST_F(RestartDialogTest, ListsEveryBlockWithItsLineNumberToolChangeAndTime) {
  frmRestart dialog(*source, MachineModel{}, RestartOptions{});
  ASSERT_EQ(dialog.lstblocks->model()->rowCount(), 20);
  EXPECT_EQ(cell(dialog, 7, 0), QStringLiteral("8"));
  EXPECT_EQ(cell(dialog, 7, 1), QStringLiteral("30"));
  EXPECT_EQ(cell(dialog, 7, 4), QStringLiteral("N30 X40. F300"));
  // The two M06 blocks are marked with the change they make.
  EXPECT_EQ(cell(dialog, 3, 2), QStringLiteral("1: T01"));
  EXPECT_EQ(cell(dialog, 12, 2), QStringLiteral("2: T02"));
  EXPECT_EQ(cell(dialog, 13, 2), QString());
  // Minutes into the program when N30 begins: 30 mm of rapid at 5000 mm/min and 32 mm at 120.
  EXPECT_EQ(cell(dialog, 7, 3), QStringLiteral("0.27"));
  EXPECT_GT(cell(dialog, 16, 3).toDouble(), cell(dialog, 7, 3).toDouble());
  EXPECT_FALSE(dialog.cmdsend->isEnabled()) << "nothing to send before a block is chosen";
}

TEST_F(RestartDialogTest, FindsBlocksAsTheCommandLineNamesThemAndShowsTheHeader) {
  frmRestart dialog(*source, MachineModel{}, RestartOptions{});
  ASSERT_TRUE(dialog.findNext(QStringLiteral("N30")));
  EXPECT_EQ(currentRow(dialog), 7);
  ASSERT_TRUE(dialog.restart());
  const QString shown = dialog.txtheader->toPlainText();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("%\nO5000 (POCKET)\nG21\nG17\nG90\nG94\nG54\nT01 M06\nS1500 M03\nM08\n"
                                              "G00 X0. Y0.\nG43 H1 Z30.\nG01 Z-2. F120\nN30 G01 X40. F300\n")))
      << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral("N30（8 行目） から")));
  EXPECT_TRUE(dialog.cmdsend->isEnabled());

  ASSERT_TRUE(dialog.findNext(QStringLiteral("tool:2")));
  EXPECT_EQ(currentRow(dialog), 13);
  ASSERT_TRUE(dialog.findNext(QStringLiteral("line:17")));
  EXPECT_EQ(currentRow(dialog), 16);
  // Text is looked for from the block after the chosen one, round to the start.
  ASSERT_TRUE(dialog.findNext(QStringLiteral("g43")));
  EXPECT_EQ(currentRow(dialog), 5);
  ASSERT_TRUE(dialog.findNext(QStringLiteral("G43")));
  EXPECT_EQ(currentRow(dialog), 14);
  EXPECT_FALSE(dialog.findNext(QStringLiteral("G65")));
  EXPECT_EQ(currentRow(dialog), 14);
}

TEST_F(RestartDialogTest, ARefusalSaysWhyAndOffersTheBlockToStartFrom) {
  frmRestart dialog(*source, MachineModel{}, RestartOptions{});
  dialog.chooseBlock(10);  // "G40 Y0": compensation is on
  EXPECT_FALSE(dialog.restart());
  EXPECT_FALSE(dialog.cmdsend->isEnabled());
  EXPECT_TRUE(dialog.txtheader->toPlainText().contains(QStringLiteral("工具径補正 G41"))) << dialog.txtheader->toPlainText().toStdString();
  ASSERT_FALSE(dialog.cmdoffer->isHidden());
  EXPECT_EQ(dialog.cmdoffer->text(), QStringLiteral("10 行目 へ"));
  dialog.cmdoffer->click();
  EXPECT_EQ(currentRow(dialog), 9);
  EXPECT_TRUE(dialog.restart());
  EXPECT_TRUE(dialog.cmdoffer->isHidden());
}

TEST_F(RestartDialogTest, TheWindowSendsTheRestartProgramAsItSendsAFile) {
  FakeClock clock;
  NoReception noReception;
  SettingsStore store(dir.filePath(QStringLiteral("korvane.ini")));
  const QString other = writeTestFile(dir.path(), QStringLiteral("other.nc"), "%\r\nO1\r\nM30\r\n%\r\n");
  MainWindow window(store, {other, program}, [&clock] { return std::make_unique<FakeSerialPort>(clock); });
  window.setClock(&clock);
  window.setReceiveUi(&noReception);
  QStringList messages;
  window.setMessagePresenter([&](const QString& text, MessageIcon, bool) {
    messages << text;
    return true;
  });
  auto* port = static_cast<FakeSerialPort*>(window.serialPort());
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(window.flistmnu->actions().contains(window.flist_restart));
  EXPECT_EQ(window.flist_restart->text(), kRestartCaption);

  QByteArray chosen;
  bool programRowShown = false;
  window.setRestartDialogPresenter([&](frmRestart& dialog) {
    EXPECT_EQ(dialog.source().displayName, QStringLiteral("O5000.nc"));
    if (!dialog.findNext(QStringLiteral("tool:2")) || !dialog.restart()) return int(QDialog::Rejected);
    chosen = dialog.restart()->text;
    return int(QDialog::Accepted);
  });
  // The machine holds the line a moment in the middle of the program (which starts after the
  // fixed pauses of 1050 ms): the list is looked at then.
  port->holdAfter = 40;
  port->holdForMs = 100;
  clock.at(1100, [&] {
    programRowShown = window.sendRunning() && window.List1->item(1)->isSelected() && !window.List1->item(0)->isSelected();
  });
  window.List1->item(1)->setSelected(true);  // the menu was not opened on a row: the selected one
  window.flist_restart->trigger();
  ASSERT_FALSE(chosen.isEmpty());
  EXPECT_EQ(messages, QStringList{QStringLiteral("送信が終了しました")});
  EXPECT_TRUE(programRowShown);
  // The wire carries the restart program, framed as any file: LF, "%", the program, "%".
  const QByteArray wire = wireText(port->wire);
  QByteArray program = chosen;
  program.replace("\r\n", "\n");
  EXPECT_TRUE(wire.contains(program.mid(program.indexOf('\n') + 1))) << wire.toStdString();
  EXPECT_TRUE(wire.contains("T02 M06\n")) << wire.toStdString();
  EXPECT_FALSE(wire.contains("N30")) << wire.toStdString();
  EXPECT_EQ(window.Cmdsend->text(), QStringLiteral("送信"));
}
