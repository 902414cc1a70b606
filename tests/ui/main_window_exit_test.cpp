// The window size at start-up and on resizing, and what reaches the settings file on the ways out.
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "main_window_fixture.h"

namespace korvane::test {
namespace {

using WindowSize = MainWindowTest;

TEST_F(WindowSize, StoredSizeIsTheOuterSize) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("6000"));
  storeApp(QStringLiteral("window_height"), QStringLiteral("5400"));
  MainWindow& w = start();
  EXPECT_EQ(w.outerSizeTwips(), QSize(6000, 5400));
  EXPECT_EQ(w.frameGeometry().width(), twipsToPx(6000, w.logicalDpiX()));
  EXPECT_EQ(w.store().app().windowWidth, 6000);
  EXPECT_EQ(w.store().app().windowHeight, 5400);
}

TEST_F(WindowSize, TheFrameAddedWhenShownCountsInTheOuterSize) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("6000"));
  storeApp(QStringLiteral("window_height"), QStringLiteral("5400"));
  MainWindow& w = start();
  w.show();
  QApplication::processEvents();
  // Without this the window would grow by its frame at every start.
  EXPECT_EQ(w.frameGeometry().width(), twipsToPx(6000, w.logicalDpiX()));
  EXPECT_EQ(w.frameGeometry().height(), twipsToPx(5400, w.logicalDpiY()));
  EXPECT_EQ(w.outerSizeTwips(), QSize(6000, 5400));
}

TEST_F(WindowSize, StoredWidthOf6000WidensTheListAndMovesTheRightColumn) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("6000"));
  MainWindow& w = start();
  w.show();
  EXPECT_EQ(widthTwips(w.List1), 4575);
  EXPECT_EQ(widthTwips(w.ProgressBar1), 4575);
  for (const QWidget* b : {w.flistadd, w.flistins, w.flistdel, w.cmdedit, w.cmdexit}) {
    EXPECT_EQ(leftTwips(b), 4800) << b->objectName().toStdString();
  }
  EXPECT_EQ(leftTwips(w.cmdportset), 2520);
}

TEST_F(WindowSize, StoredWidthOf3000LeavesTheDesign) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("3000"));
  MainWindow& w = start();
  EXPECT_EQ(w.layoutTwips(), designedLayout());
  EXPECT_EQ(widthTwips(w.List1), 3495);
  EXPECT_EQ(leftTwips(w.flistadd), 3720);
  EXPECT_EQ(topTwips(w.cmdexit), 2760);
}

TEST_F(WindowSize, AStoredSizeTheWindowCannotTakeIsSkipped) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("-5"));
  storeApp(QStringLiteral("window_height"), QStringLiteral("1e300"));
  MainWindow& w = start();
  EXPECT_EQ(w.outerSizeTwips(), QSize(kDesignWidth, kDesignHeight));
  EXPECT_EQ(w.layoutTwips(), designedLayout());
}

TEST_F(WindowSize, ShrinkingAfterEnlargingLeavesControlsWhereTheLargerSizePutThem) {
  MainWindow& w = start();
  w.show();
  resizeOuter(7200, 6000);
  EXPECT_EQ(leftTwips(w.flistadd), 6000);
  EXPECT_EQ(topTwips(w.Cmdsend), 4200);
  EXPECT_EQ(w.store().app().windowWidth, 7200);

  // Asked for less than the design size, the window stops at its least size, below the
  // reference size of the resize rules.
  resizeOuter(3600, 3000);
  EXPECT_LT(w.outerSizeTwips().width(), kDesignWidth);
  EXPECT_LT(w.outerSizeTwips().height(), kDesignHeight);
  EXPECT_EQ(leftTwips(w.flistadd), 6000);
  EXPECT_EQ(leftTwips(w.cmdexit), 6000);
  EXPECT_EQ(topTwips(w.cmdexit), 4200);
  EXPECT_EQ(widthTwips(w.List1), 5775);
  // The size itself is still followed, so "終了" stores what the operator sees.
  EXPECT_EQ(w.store().app().windowWidth, w.outerSizeTwips().width());
  EXPECT_EQ(w.store().app().windowHeight, w.outerSizeTwips().height());
}

using Exit = MainWindowTest;

TEST_F(Exit, ExitButtonStoresTheStartSlotAndTheSizeThenEnds) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("6000"));
  storeApp(QStringLiteral("window_height"), QStringLiteral("5100"));
  MainWindow& w = start();
  w.comportm->setCurrentIndex(2);
  EXPECT_FALSE(storedApp(kKeyStartSlot).has_value());
  w.cmdexit->click();
  EXPECT_EQ(quitCalls, 1);
  EXPECT_EQ(storedApp(kKeyStartSlot), QStringLiteral("3"));
  EXPECT_EQ(storedApp(QStringLiteral("window_width")), QStringLiteral("6000"));
  EXPECT_EQ(storedApp(QStringLiteral("window_height")), QStringLiteral("5100"));
  // The exit writes only its three keys.
  EXPECT_FALSE(IniFile::load(iniPath).value(QStringLiteral("COM1"), QStringLiteral("ｽﾋﾟｰﾄﾞ")).has_value());
}

TEST_F(Exit, ASizeOfNoWholePixelsIsStoredBackUnchangedUntilResized) {
  storeApp(QStringLiteral("window_width"), QStringLiteral("5003"));
  storeApp(QStringLiteral("window_height"), QStringLiteral("5000"));
  MainWindow& w = start();
  w.show();
  QApplication::processEvents();
  w.cmdexit->click();
  EXPECT_EQ(storedApp(QStringLiteral("window_width")), QStringLiteral("5003"));
  EXPECT_EQ(storedApp(QStringLiteral("window_height")), QStringLiteral("5000"));

  w.resize(w.width() + 1, w.height());
  QApplication::processEvents();
  w.cmdexit->click();
  EXPECT_EQ(storedApp(QStringLiteral("window_width")),
            QString::number(pxToTwips(w.frameGeometry().width(), w.logicalDpiX())));
  EXPECT_EQ(storedApp(QStringLiteral("window_height")), QStringLiteral("5000"));
}

TEST_F(Exit, ExitMenuItemDoesTheSame) {
  MainWindow& w = start();
  w.comportm->setCurrentIndex(9);
  resizeOuter(5400, 4800);
  w.mnuexit->trigger();
  EXPECT_EQ(quitCalls, 1);
  EXPECT_EQ(storedApp(kKeyStartSlot), QStringLiteral("10"));
  EXPECT_EQ(storedApp(QStringLiteral("window_width")), QStringLiteral("5400"));
  EXPECT_EQ(storedApp(QStringLiteral("window_height")), QStringLiteral("4800"));
}

TEST_F(Exit, CloseBoxWritesNothing) {
  storeApp(kKeyStartSlot, QStringLiteral("2"));
  storeApp(QStringLiteral("window_width"), QStringLiteral("6000"));
  const QByteArray before = IniFile::load(iniPath).lines().join("\n");
  MainWindow& w = start();
  w.show();
  w.comportm->setCurrentIndex(4);
  resizeOuter(7000, 5000);
  EXPECT_TRUE(w.close());
  EXPECT_EQ(IniFile::load(iniPath).lines().join("\n"), before);
  EXPECT_EQ(quitCalls, 0);
}

// Neither way out cuts a running transfer off unasked (the send and reception themselves are
// tried in the transfer tests); No leaves everything as it was.
TEST_F(Exit, CloseBoxAndExitDuringATransferAskFirst) {
  MainWindow& w = start();
  w.show();
  w.enterTransfer(TransferKind::Send);
  EXPECT_FALSE(w.close());
  auto* question = w.findChild<QMessageBox*>(QStringLiteral("closeQuestion"));
  ASSERT_NE(question, nullptr);
  EXPECT_TRUE(question->isVisible());
  question->button(QMessageBox::No)->click();
  EXPECT_FALSE(w.gblnCancelFlag.load());
  EXPECT_TRUE(w.isVisible());

  w.mnuexit->trigger();
  EXPECT_EQ(quitCalls, 0);
  EXPECT_TRUE(question->isVisible());
  EXPECT_EQ(question->text(), QStringLiteral("送信中です。中断して終了しますか？"));
  question->button(QMessageBox::Yes)->click();
  EXPECT_TRUE(w.gblnCancelFlag.load()) << "asked to stop, as 中断 does";
  EXPECT_EQ(quitCalls, 0) << "the transfer ends first";
  w.leaveTransfer(TransferKind::Send);
  QApplication::processEvents();
  EXPECT_EQ(quitCalls, 1);
  EXPECT_EQ(storedApp(kKeyStartSlot), QStringLiteral("1")) << "終了 writes its state as always";
}

using SaveSettings = MainWindowTest;

TEST_F(SaveSettings, MenuItemWritesProfilesAndSettingsButNotTheExitState) {
  MainWindow& w = start();
  w.comportm->setCurrentIndex(4);
  w.store().profile(4).deviceName = QStringLiteral("旋盤");
  w.mnufsave->trigger();
  EXPECT_TRUE(messages.isEmpty());
  const IniFile ini = IniFile::load(iniPath);
  EXPECT_EQ(ini.value(QStringLiteral("COM4"), QStringLiteral("装置名")), QStringLiteral("旋盤"));
  EXPECT_EQ(ini.value(QStringLiteral("COM10"), QStringLiteral("ﾎﾟｰﾄ")), QStringLiteral("1"));
  EXPECT_EQ(ini.value(kAppSection, kKeyFilter), QStringLiteral("*.nc"));
  EXPECT_FALSE(ini.value(kAppSection, kKeyStartSlot).has_value());
  EXPECT_FALSE(ini.value(kAppSection, QStringLiteral("window_width")).has_value());
  EXPECT_EQ(quitCalls, 0);
}

TEST_F(SaveSettings, AFileThatCannotBeWrittenIsReportedToTheOperator) {
  // A plain file where the settings folder should be: no user, root included, can write there.
  QFile blocker(dir.filePath(QStringLiteral("blocked")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  iniPath = dir.filePath(QStringLiteral("blocked/korvane.ini"));
  MainWindow& w = start();
  w.mnufsave->trigger();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_FALSE(messages[0].yesNo);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("blocked"))) << messages[0].text.toStdString();
}

}  // namespace
}  // namespace korvane::test
