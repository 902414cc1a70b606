// The window as a transfer drives it.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <climits>

#include "main_window_fixture.h"

namespace korvane::test {
namespace {

using TransferState = MainWindowTest;

QStringList disabledNames(const MainWindow& w) {
  const QList<QWidget*> controls = {w.Cmdsend,  w.cmdget,   w.cmdedit,  w.cmdportset, w.cmdexit, w.comportm,
                                    w.flistadd, w.flistins, w.flistdel, w.List1,      w.Check1};
  QStringList names;
  for (const QWidget* c : controls) {
    if (!c->isEnabled()) names << c->objectName();
  }
  return names;
}

TEST_F(TransferState, SendTurnsItsButtonIntoAbortAndLocksTheListToo) {
  MainWindow& w = start();
  w.enterTransfer(TransferKind::Send);
  EXPECT_TRUE(w.transferRunning());
  EXPECT_EQ(w.Cmdsend->text(), QStringLiteral("中断"));
  EXPECT_EQ(w.cmdget->text(), QStringLiteral("受信"));
  EXPECT_EQ(disabledNames(w), QStringList({"cmdget", "cmdedit", "cmdportset", "cmdexit", "comportm", "flistadd",
                                           "flistins", "flistdel", "List1"}));
  EXPECT_TRUE(w.mnusend->isEnabled());
  w.leaveTransfer(TransferKind::Send);
  EXPECT_FALSE(w.transferRunning());
  EXPECT_EQ(w.Cmdsend->text(), QStringLiteral("送信"));
  EXPECT_TRUE(disabledNames(w).isEmpty());
}

TEST_F(TransferState, ReceiveLeavesTheListEnabled) {
  MainWindow& w = start();
  w.enterTransfer(TransferKind::Receive);
  EXPECT_EQ(w.cmdget->text(), QStringLiteral("中断"));
  EXPECT_EQ(w.Cmdsend->text(), QStringLiteral("送信"));
  EXPECT_EQ(disabledNames(w), QStringList({"Cmdsend", "cmdedit", "cmdportset", "cmdexit", "comportm", "flistadd",
                                           "flistins", "flistdel"}));
  w.leaveTransfer(TransferKind::Receive);
  EXPECT_EQ(w.cmdget->text(), QStringLiteral("受信"));
  EXPECT_TRUE(disabledNames(w).isEmpty());
}

TEST_F(TransferState, StatusPanelsCaptionAndRows) {
  MainWindow& w = start({QStringLiteral("/a.nc"), QStringLiteral("/b.nc"), QStringLiteral("/c.nc")});
  w.setWindowCaption(QStringLiteral("送信中・・・"));
  w.setStatusText(QStringLiteral("12 : G01X10.F100"));
  w.setElapsedText(QStringLiteral("00 : 03 : 27"));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("送信中・・・"));
  EXPECT_EQ(w.statusPanel1->text(), QStringLiteral("12 : G01X10.F100"));
  EXPECT_EQ(w.statusPanel2->text(), QStringLiteral("00 : 03 : 27"));

  w.List1->item(0)->setSelected(true);
  w.clearRowSelection();
  EXPECT_TRUE(w.List1->selectedItems().isEmpty());
  w.setRowSelected(1, true);
  w.setRowSelected(7, true);  // no such row: ignored
  ASSERT_EQ(w.List1->selectedItems().size(), 1);
  EXPECT_EQ(w.List1->selectedItems()[0]->text(), QStringLiteral("/b.nc"));
  w.setRowSelected(1, false);
  EXPECT_TRUE(w.List1->selectedItems().isEmpty());
}

TEST_F(TransferState, ListTurnsLightCyanWhileSendingEvenWhenDisabled) {
  MainWindow& w = start();
  const QColor normal = w.List1->palette().color(QPalette::Active, QPalette::Base);
  w.enterTransfer(TransferKind::Send);
  w.setListSending(true);
  EXPECT_EQ(w.List1->palette().color(QPalette::Disabled, QPalette::Base), QColor(128, 255, 255));
  EXPECT_EQ(w.List1->palette().color(QPalette::Active, QPalette::Base), QColor(128, 255, 255));
  w.setListSending(false);
  w.leaveTransfer(TransferKind::Send);
  EXPECT_EQ(w.List1->palette().color(QPalette::Active, QPalette::Base), normal);
}

TEST_F(TransferState, ProgressOfFilesLargerThanAnIntIsScaled) {
  MainWindow& w = start();
  w.setProgressRange(1000);
  w.setProgressValue(250);
  EXPECT_EQ(w.ProgressBar1->maximum(), 1000);
  EXPECT_EQ(w.ProgressBar1->value(), 250);

  const qint64 huge = 5'000'000'000;
  w.setProgressRange(huge);
  EXPECT_LE(w.ProgressBar1->maximum(), INT_MAX);
  w.setProgressValue(huge / 2);
  EXPECT_NEAR(double(w.ProgressBar1->value()) / w.ProgressBar1->maximum(), 0.5, 1e-6);
  w.setProgressValue(huge);
  EXPECT_EQ(w.ProgressBar1->value(), w.ProgressBar1->maximum());

  w.setProgressRange(0);
  w.setProgressValue(0);
  EXPECT_EQ(w.ProgressBar1->value(), 0);
}

using Messages = MainWindowTest;

// The real box, answered from inside its own event loop.
TEST_F(Messages, BoxesCarryTheApplicationTitleAndTheAskedButtons) {
  start();
  // A window of its own, with the boxes it shows by default.
  MainWindow fresh(*settings, {}, nullptr);
  struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
  } seen;
  const auto answerWith = [&seen](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&seen, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
      box->button(button)->click();
    });
  };
  answerWith(QMessageBox::No);
  EXPECT_FALSE(fresh.askYesNo(QStringLiteral("送信終了後システムを停止します。\rよろしいですか？"),
                              MessageIcon::Warning));
  EXPECT_EQ(seen.title, QStringLiteral("ＮＣデータ転送"));
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

  answerWith(QMessageBox::Yes);
  EXPECT_TRUE(fresh.askYesNo(QStringLiteral("?"), MessageIcon::Question));

  answerWith(QMessageBox::Ok);
  fresh.showMessage(QStringLiteral("送信が終了しました"), MessageIcon::None);
  EXPECT_EQ(seen.text, QStringLiteral("送信が終了しました"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
}  // namespace korvane::test
