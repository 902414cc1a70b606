#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include "main_window_fixture.h"
#include "ui/settings_dialog.h"

namespace korvane::test {
namespace {

QStringList rowsOf(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  return rows;
}

QStringList itemsOf(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

using StartUp = MainWindowTest;

TEST_F(StartUp, ArgumentRowsFillTheListInOrder) {
  const QStringList rows = {dir.filePath(QStringLiteral("nc/a b.nc")), dir.filePath(QStringLiteral("nc/c d.nc"))};
  MainWindow& w = start(rows);
  EXPECT_EQ(rowsOf(w.List1), rows);
  EXPECT_EQ(w.List1->selectionMode(), QAbstractItemView::MultiSelection);
}

TEST_F(StartUp, FreshStartShowsDefaultMachinesAndSelectsTheFirst) {
  MainWindow& w = start();
  EXPECT_TRUE(w.List1->count() == 0);
  QStringList expected;
  for (int n = 1; n <= 10; ++n) expected << QStringLiteral("No.%1").arg(n);
  EXPECT_EQ(itemsOf(w.comportm), expected);
  EXPECT_EQ(w.comportm->currentIndex(), 0);
  EXPECT_EQ(w.store().app().currentProfile, 1);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("ＮＣデータ転送"));
  EXPECT_FALSE(QFile::exists(iniPath));  // starting writes nothing
}

TEST_F(StartUp, StoredDeviceNamesAndStartSlotSelectTheMachine) {
  store(QStringLiteral("COM3"), QStringLiteral("装置名"), QStringLiteral("マシニング３号"));
  storeApp(kKeyStartSlot, QStringLiteral("3"));
  MainWindow& w = start();
  EXPECT_EQ(w.comportm->itemText(2), QStringLiteral("マシニング３号"));
  EXPECT_EQ(w.comportm->itemText(3), QStringLiteral("No.4"));
  EXPECT_EQ(w.comportm->currentIndex(), 2);
  EXPECT_EQ(w.store().app().currentProfile, 3);
}

TEST_F(StartUp, StartSlotOutsideTheTenSelectsNoMachineAndKeepsTheValue) {
  for (const QString& stored : {QStringLiteral("0"), QStringLiteral("11"), QStringLiteral("2.5")}) {
    storeApp(kKeyStartSlot, stored);
    MainWindow& w = start();
    EXPECT_EQ(w.comportm->currentIndex(), -1) << stored.toStdString();
    EXPECT_EQ(w.store().app().currentProfile, stored.toDouble()) << stored.toStdString();
  }
}

TEST_F(StartUp, PickingAMachineSetsTheCurrentProfile) {
  MainWindow& w = start();
  w.comportm->setCurrentIndex(6);
  EXPECT_EQ(w.store().app().currentProfile, 7);
}

TEST_F(StartUp, ShutdownCheckBoxMirrorsTheSettingInMemoryOnly) {
  storeApp(QStringLiteral("shutdown"), QStringLiteral("1"));
  MainWindow& w = start();
  EXPECT_TRUE(w.Check1->isChecked());
  w.Check1->click();
  EXPECT_EQ(w.store().app().shutdownAfterSend, 0);
  EXPECT_EQ(storedApp(QStringLiteral("shutdown")), QStringLiteral("1"));
  w.Check1->click();
  EXPECT_EQ(w.store().app().shutdownAfterSend, 1);
}

QStringList choiceTexts(const QList<PortChoice>& ports) {
  QStringList texts;
  for (const PortChoice& port : ports) texts << portChoiceText(port);
  return texts;
}

// A port missing in the middle does not hide the ports after it: a device server set up as Com 3
// is listed though Com 2 has no device. A port the operator named in korvane-ports is listed even
// when what it names is not there now; it is marked, as is a port that exists but did not open.
TEST_F(StartUp, PortListHoldsEveryPortWithAnEntryOrADeviceAndMarksThoseThatDidNotOpen) {
  log->present = {1, 3, 4, 7};
  log->busy = {4};
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("korvane-ports"))));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("unplugged-adapter")),
                          dir.filePath(QStringLiteral("korvane-ports/com2"))));
  MainWindow& w = start();
  EXPECT_EQ(choiceTexts(w.portChoices()), (QStringList{"Com 1", "Com 2 (開けません)", "Com 3", "Com 4 (開けません)", "Com 7"}));
  EXPECT_EQ(log->attempted, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(log->openNow, 0) << "no port stays open";
  EXPECT_TRUE(log->dtr);
  ASSERT_NE(w.serialPort(), nullptr);
  EXPECT_FALSE(w.serialPort()->isOpen());
  const PortChoice& unplugged = w.portChoices()[1];
  EXPECT_EQ(unplugged.number, 2);
  EXPECT_FALSE(unplugged.openable);
  EXPECT_TRUE(unplugged.detail.startsWith(QStringLiteral("Com 2: ") + dir.filePath(QStringLiteral("unplugged-adapter"))))
      << unplugged.detail.toStdString();
  EXPECT_TRUE(unplugged.detail.contains(QStringLiteral("ポート 2 がありません"))) << "why it did not open";

  // The dialog offers the same list, and an entry picks its own port number.
  w.cmdportset->click();
  auto* dialog = w.findChild<Form3*>();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->Combo1->count(), 5);
  EXPECT_EQ(dialog->Combo1->itemText(4), QStringLiteral("Com 7"));
  dialog->Combo1->setCurrentIndex(2);
  EXPECT_EQ(w.store().profile(1).portNumber, 3);
  dialog->Combo1->setCurrentIndex(4);
  EXPECT_EQ(w.store().profile(1).portNumber, 7);
}

TEST_F(StartUp, PortListWithAllTenOrNone) {
  log->present = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(start().portChoices().size(), 10);
  EXPECT_EQ(portChoiceText(window->portChoices().last()), QStringLiteral("Com 10"));
  log->present = {};
  EXPECT_TRUE(start().portChoices().isEmpty());
}

TEST_F(StartUp, WindowOpensWithTheFocusOnExitAndTheDesignedTabOrder) {
  MainWindow& w = start();
  w.show();
  EXPECT_EQ(w.focusWidget(), w.cmdexit);
  const QList<QWidget*> expected = {w.cmdexit, w.Cmdsend, w.cmdedit, w.cmdportset, w.cmdget, w.comportm,
                                    w.List1,   w.flistadd, w.flistdel, w.flistins, w.Check1};
  QList<QWidget*> order;
  QWidget* next = w.cmdexit;
  do {
    if (next->focusPolicy() & Qt::TabFocus && expected.contains(next)) order << next;
    next = next->nextInFocusChain();
  } while (next != w.cmdexit && order.size() < expected.size());
  EXPECT_EQ(order, expected);
}

TEST_F(StartUp, CaptionsAndMenus) {
  MainWindow& w = start();
  EXPECT_EQ(w.Label2->text(), QStringLiteral("マシン"));
  EXPECT_EQ(w.Check1->text(), QStringLiteral("送信後シャットダウンする"));
  const QStringList buttons = {w.flistadd->text(), w.flistins->text(), w.flistdel->text(), w.cmdedit->text(),
                               w.Cmdsend->text(),  w.cmdget->text(),   w.cmdportset->text(), w.cmdexit->text()};
  EXPECT_EQ(buttons, QStringList({"追加", "挿入", "削除", "編集", "送信", "受信", "設定", "終了"}));

  const auto captions = [](const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
  };
  QStringList bar;
  for (const QAction* a : w.menuBar()->actions()) bar << a->text();
  EXPECT_EQ(bar, QStringList({"ﾌｧｲﾙ(&F)", "ﾍﾙﾌﾟ(&H)"}));
  EXPECT_EQ(captions(w.mnufile),
            QStringList({"開く(&O)", "編集(&E)", "送信(&S)", "受信(&G)", "設定保存(&S)", "-", "終了(&X)"}));
  EXPECT_EQ(captions(w.mnuhelp), QStringList({"ﾍﾙﾌﾟ(&H)", "ﾊﾞｰｼﾞｮﾝ情報(&A)"}));
  EXPECT_EQ(captions(w.flistmnu), QStringList({"ﾌｧｲﾙ情報", "加工長、時間", "追加", "挿入", "削除", "編集",
                                                "ＤＮＣ変換", "Viewer", "ツールパス表示", "途中から送信"}));
  EXPECT_EQ(captions(w.flistmnu2), QStringList({"追加"}));
  // Found by name, as other parts of the program and the tests look them up.
  for (const char* name : {"flistadd", "flistins", "flistdel", "cmdedit", "Cmdsend", "cmdget", "cmdportset",
                           "cmdexit", "Check1", "comportm", "List1", "ProgressBar1", "StatusBar1", "Label2"}) {
    EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
  for (const char* name : {"mnufileopen", "mnuedit", "mnusend", "mnuget", "mnufsave", "mnusp", "mnuexit",
                           "mnuhelphelp", "mnuhelpver", "flist_fname", "flist_time", "flist_add", "flist_ins",
                           "flist_dell", "flist_edit", "flist_dnc", "flist_view", "flist_toolpath", "flist_restart", "flist_add2"}) {
    EXPECT_NE(w.findChild<QAction*>(QString::fromLatin1(name)), nullptr) << name;
  }
}

TEST_F(StartUp, JapaneseFacesResolveToFacesWithJapaneseGlyphs) {
  MainWindow& w = start();
  EXPECT_EQ(QFontInfo(w.List1->font()).family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(QFontInfo(w.comportm->font()).family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(QFontInfo(w.cmdexit->font()).family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(w.List1->font().pointSize(), 12);
  EXPECT_EQ(w.comportm->font().pointSize(), 12);
  EXPECT_EQ(w.cmdexit->font().pointSize(), 9);
  const QFontMetrics metrics(w.cmdexit->font());
  for (const QChar c : QStringLiteral("終了送信ﾌｧｲﾙＤＮＣ")) EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
}

}  // namespace
}  // namespace korvane::test

namespace korvane::test {
namespace {

TEST_F(MainWindowTest, TheWindowCannotShrinkBelowItsDesignSize) {
  MainWindow& w = start();
  w.show();
  QApplication::processEvents();
  w.resize(50, 50);
  QApplication::processEvents();
  const QSize client = w.centralWidget()->size();
  EXPECT_GE(pxToTwips(client.width(), w.logicalDpiX()), kDesignClientWidth - 15);
  EXPECT_GE(pxToTwips(client.height() + w.statusBar()->height(), w.logicalDpiY()), kDesignClientHeight - 15);
  // Every button stays whole inside the window.
  for (QPushButton* button : {w.flistadd, w.flistins, w.flistdel, w.cmdedit, w.Cmdsend, w.cmdget, w.cmdportset, w.cmdexit}) {
    EXPECT_TRUE(w.centralWidget()->rect().contains(button->geometry())) << button->text().toStdString();
  }
  EXPECT_TRUE(w.centralWidget()->rect().contains(w.Check1->geometry()));
}

TEST_F(MainWindowTest, AnUnreadableSettingsFileIsSaidAtStart) {
  ASSERT_TRUE(QDir().mkpath(iniPath));  // a folder where korvane.ini should be
  MainWindow& w = start();
  QApplication::processEvents();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("設定ファイルを読み込めません"))) << messages[0].text.toStdString();
  EXPECT_TRUE(messages[0].text.contains(iniPath));
  EXPECT_FALSE(messages[0].yesNo);
  EXPECT_EQ(w.store().profile(1).baudRate, QStringLiteral("9600"));
}

TEST_F(MainWindowTest, AReadableOrMissingSettingsFileSaysNothing) {
  start();
  QApplication::processEvents();
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace korvane::test
