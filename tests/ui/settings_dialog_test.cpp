// The communication settings dialog: live edits of the in-memory profiles, the DC-code boxes, the
// feed and wait boxes, the port check before a line setting is taken over, save and close.
#include "ui/settings_dialog.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>

#include "settings/ini_file.h"
#include "settings_dialog_fixture.h"

namespace korvane {
namespace {

using test::SettingsDialogTest;

TEST(WaitTimeFromText, TakesOnlyTheNumberAtTheStart) {
  EXPECT_EQ(waitTimeFromText(QStringLiteral("250ms")), 250);
  EXPECT_EQ(waitTimeFromText(QStringLiteral(" 1 2")), 12);
  EXPECT_EQ(waitTimeFromText(QStringLiteral("12.5.3")), 12.5);
  EXPECT_EQ(waitTimeFromText(QStringLiteral("-7x")), -7);
  EXPECT_EQ(waitTimeFromText(QStringLiteral("abc")), 0);
  EXPECT_EQ(waitTimeFromText(QStringLiteral("")), 0);
}

TEST_F(SettingsDialogTest, Dc2ClearedClearsAndDisablesDc3) {
  store->profile(2).useDc2Dc4 = 2;
  Form3& d = make();
  d.selectProfile(2);
  EXPECT_TRUE(d.Chkdc2->isChecked());
  EXPECT_TRUE(d.Chkdc3->isChecked());
  d.Chkdc2->click();
  EXPECT_EQ(store->profile(2).useDc2Dc4, 0);
  EXPECT_FALSE(d.Chkdc3->isChecked());
  EXPECT_FALSE(d.Chkdc3->isEnabled());
  d.Chkdc2->click();
  EXPECT_EQ(store->profile(2).useDc2Dc4, 1);
  EXPECT_TRUE(d.Chkdc3->isEnabled());
  d.Chkdc3->click();
  EXPECT_EQ(store->profile(2).useDc2Dc4, 2);
}

TEST_F(SettingsDialogTest, FillNormalisesDcValueButKeepsUnshownLineSettings) {
  store->profile(3).useDc2Dc4 = 5;
  store->profile(3).parity = QStringLiteral("M");
  store->profile(3).dataBits = QStringLiteral("6");
  store->profile(3).feedLength = 0.1;
  Form3& d = make();
  d.selectProfile(3);
  EXPECT_TRUE(d.Chkdc2->isChecked());
  EXPECT_TRUE(d.Chkdc3->isChecked());
  EXPECT_EQ(store->profile(3).useDc2Dc4, 2);
  EXPECT_EQ(d.parity->checkedId(), 2);
  EXPECT_EQ(d.datalen->checkedId(), 1);
  EXPECT_EQ(store->profile(3).parity, QStringLiteral("M"));
  EXPECT_EQ(store->profile(3).dataBits, QStringLiteral("6"));
  EXPECT_EQ(store->profile(3).feedLength, 0.1);
  d.parity->button(0)->click();
  EXPECT_EQ(store->profile(3).parity, QStringLiteral("E"));
}

TEST_F(SettingsDialogTest, EditsGoToTheEditedProfileAndRenameTheMachine) {
  Form3& d = make();
  d.selectProfile(4);
  d.portname->setText(QStringLiteral("旋盤"));
  EXPECT_EQ(store->profile(4).deviceName, QStringLiteral("旋盤"));
  ASSERT_FALSE(renames.isEmpty());
  EXPECT_EQ(renames.last(), qMakePair(4, QStringLiteral("旋盤")));
  d.Combo1->setCurrentIndex(2);
  EXPECT_EQ(store->profile(4).portNumber, 3);

  d.comport->setCurrentIndex(0);
  EXPECT_EQ(d.editedProfile(), 1);
  EXPECT_EQ(d.portname->text(), QStringLiteral("No.1"));
  EXPECT_EQ(store->profile(4).deviceName, QStringLiteral("旋盤"));
  EXPECT_EQ(store->profile(1).portNumber, 1);
}

TEST_F(SettingsDialogTest, FeedAndWaitBoxes) {
  Form3& d = make();
  d.selectProfile(1);
  EXPECT_FALSE(d.txtfeedlen0->isEnabled());
  d.chkfeed->click();
  EXPECT_TRUE(d.txtfeedlen0->isEnabled());
  EXPECT_TRUE(d.txtfeedlen1->isEnabled());
  EXPECT_EQ(store->profile(1).feedEnabled, 1);
  d.txtfeedlen0->setText(QStringLiteral("12.5"));
  d.txtfeedlen1->setText(QStringLiteral("0.1"));
  EXPECT_EQ(store->profile(1).feedLength, 12.5);
  EXPECT_EQ(store->profile(1).feedLength2, static_cast<double>(0.1f));
  d.txtfeedlen0->setText(QString());
  EXPECT_EQ(store->profile(1).feedLength, 0);

  EXPECT_FALSE(d.txtwaittime->isEnabled());
  d.chkwait->click();
  EXPECT_TRUE(d.txtwaittime->isEnabled());
  d.txtwaittime->setText(QStringLiteral("250ms"));
  EXPECT_EQ(store->profile(1).waitTime, 250);
  d.txtwaittime->setText(QStringLiteral("x"));
  EXPECT_EQ(store->profile(1).waitTime, 0);
}

TEST_F(SettingsDialogTest, FailedPortCheckRevertsAndShowsError) {
  store->profile(5).portNumber = 7;
  store->profile(5).handshake = 1;
  ports->present = {1};
  Form3& d = make();
  d.selectProfile(5);
  d.handshake->button(0)->click();
  EXPECT_EQ(ports->attempted, QList<int>{7});
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("ポート 7 がありません"));
  EXPECT_EQ(store->profile(5).handshake, 1);
  EXPECT_EQ(d.handshake->checkedId(), 1);

  d.comspeed->setCurrentIndex(0);
  emit d.comspeed->activated(0);
  EXPECT_EQ(store->profile(5).baudRate, QStringLiteral("9600"));
  EXPECT_EQ(d.comspeed->currentText(), QStringLiteral("9600"));
}

TEST_F(SettingsDialogTest, PassedPortCheckTakesOverOptionsAndSpeed) {
  Form3& d = make();
  d.selectProfile(2);
  d.pcode->button(1)->click();
  d.stoplen->button(0)->click();
  const int fast = d.comspeed->findText(QStringLiteral("19200"));
  d.comspeed->setCurrentIndex(fast);
  emit d.comspeed->activated(fast);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(store->profile(2).tapeCode, 1);
  EXPECT_EQ(store->profile(2).stopBits, QStringLiteral("1"));
  EXPECT_EQ(store->profile(2).baudRate, QStringLiteral("19200"));
  d.comspeed->setEditText(QStringLiteral("4711"));
  EXPECT_EQ(store->profile(2).baudRate, QStringLiteral("19200"));
}

TEST_F(SettingsDialogTest, MailAddressOnlyBySaveAndSaveWritesTheFile) {
  store->app().mailAddress = QStringLiteral("old@example.org");
  Form3& d = make();
  d.show();
  d.selectProfile(1);
  d.Chkshut->click();
  d.txtmail->setText(QStringLiteral("new@example.org"));
  d.cmdsetok->click();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(store->app().mailAddress, QStringLiteral("old@example.org"));
  EXPECT_EQ(d.txtmail->text(), QStringLiteral("new@example.org"));
  EXPECT_EQ(shutdownChecks, QList<bool>{true});

  d.portname->setText(QStringLiteral("MC-1"));
  d.cmdfsave->click();
  EXPECT_EQ(store->app().mailAddress, QStringLiteral("new@example.org"));
  const IniFile ini = IniFile::load(store->iniPath());
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("adress")), QStringLiteral("new@example.org"));
  EXPECT_EQ(ini.value(QStringLiteral("参照"), QStringLiteral("shutdown")), QStringLiteral("1"));
  EXPECT_EQ(ini.value(QStringLiteral("COM1"), QStringLiteral("装置名")), QStringLiteral("MC-1"));
}

TEST_F(SettingsDialogTest, ServiceKeysAreEditedPerProfileAndSaved) {
  Form3& d = make();
  d.show();
  d.selectProfile(2);
  d.chkservice->click();
  d.txtprgfolder->setText(QStringLiteral("/srv/nc/プログラム"));
  d.txtrcvfolder->setText(QStringLiteral("/srv/nc/受信"));
  d.selectProfile(1);  // another machine shows its own, untouched values
  EXPECT_FALSE(d.chkservice->isChecked());
  EXPECT_TRUE(d.txtprgfolder->text().isEmpty());
  d.selectProfile(2);
  EXPECT_TRUE(d.chkservice->isChecked());
  EXPECT_EQ(d.txtrcvfolder->text(), QStringLiteral("/srv/nc/受信"));
  d.cmdfsave->click();

  SettingsStore reread(store->iniPath());
  reread.loadSettings();
  EXPECT_EQ(reread.profile(2).serviceEnabled, 1);
  EXPECT_EQ(reread.profile(2).programFolder, QStringLiteral("/srv/nc/プログラム"));
  EXPECT_EQ(reread.profile(2).receiveFolder, QStringLiteral("/srv/nc/受信"));
  EXPECT_EQ(reread.profile(1).serviceEnabled, 0);
}

TEST_F(SettingsDialogTest, CloseBoxHidesLikeClose) {
  Form3& d = make();
  d.show();
  d.close();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(shutdownChecks.size(), 1);
  d.show();
  EXPECT_EQ(d.comport->count(), 10);
  EXPECT_EQ(d.Combo1->count(), 3);
}

TEST_F(SettingsDialogTest, MailBoxFollowsMailCheck) {
  Form3& d = make();
  EXPECT_FALSE(d.txtmail->isEnabled());
  d.Chkmail->click();
  EXPECT_TRUE(d.txtmail->isEnabled());
  EXPECT_EQ(store->app().mailAfterSend, 1);
  d.Text1->setText(QStringLiteral("*.tap"));
  EXPECT_EQ(store->app().fileFilter, QStringLiteral("*.tap"));
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST_F(SettingsDialogTest, TheSpeedListOpensOnTheStoredSpeed) {
  store->profile(2).baudRate = QStringLiteral("19200");
  store->profile(3).baudRate = QStringLiteral("4000");  // not in the list: shown as text only
  Form3& d = make();
  d.selectProfile(2);
  EXPECT_EQ(d.comspeed->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(d.comspeed->currentIndex(), d.comspeed->findText(QStringLiteral("19200")));
  d.comspeed->showPopup();
  EXPECT_EQ(d.comspeed->view()->currentIndex().row(), d.comspeed->findText(QStringLiteral("19200")))
      << "the opened list is at the current speed, not at 110";
  d.comspeed->hidePopup();
  d.selectProfile(3);
  EXPECT_EQ(d.comspeed->currentText(), QStringLiteral("4000"));
  EXPECT_EQ(store->profile(3).baudRate, QStringLiteral("4000"));
  EXPECT_EQ(store->profile(2).baudRate, QStringLiteral("19200"));
}

TEST_F(SettingsDialogTest, AFeedLengthNoSendCanGiveIsRefusedWithAMessage) {
  Form3& d = make();
  d.selectProfile(1);
  d.chkfeed->click();
  d.txtfeedlen0->setText(QStringLiteral("30"));
  for (const QString& typed : {QStringLiteral("1e308"), QStringLiteral("1e999"), QStringLiteral("10001")}) {
    messages.clear();
    d.txtfeedlen0->setText(typed);
    EXPECT_EQ(store->profile(1).feedLength, 30) << typed.toStdString();
    emit d.txtfeedlen0->editingFinished();
    EXPECT_EQ(messages, QStringList{feedLengthLimitMessage()}) << typed.toStdString();
    EXPECT_EQ(d.txtfeedlen0->text(), QStringLiteral("30")) << "the box shows the length in use again";
  }
  messages.clear();
  d.txtfeedlen0->setText(QStringLiteral("10000"));
  emit d.txtfeedlen0->editingFinished();
  EXPECT_EQ(store->profile(1).feedLength, 10000);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SettingsDialogTest, PortListTellsWhatEachPortIsAndWhetherItOpened) {
  Form3& d = make({{1, true, QStringLiteral("Com 1: /dev/ttyUSB0\nok")},
                   {2, true, QStringLiteral("Com 2: rfc2217://10.0.0.7:4002\nok")},
                   {3, false, QStringLiteral("Com 3: tcp://10.0.0.8:4001\nデバイスサーバーに接続できません")}});
  EXPECT_EQ(d.Combo1->itemText(1), QStringLiteral("Com 2"));
  EXPECT_EQ(d.Combo1->itemText(2), QStringLiteral("Com 3 (開けません)"));
  EXPECT_EQ(d.Combo1->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("Com 3: tcp://10.0.0.8:4001\nデバイスサーバーに接続できません"));
  store->profile(1).portNumber = 2;
  d.selectProfile(1);
  EXPECT_EQ(d.Combo1->toolTip(), QStringLiteral("Com 2: rfc2217://10.0.0.7:4002\nok"));
  d.Combo1->setCurrentIndex(2);
  EXPECT_TRUE(d.Combo1->toolTip().startsWith(QStringLiteral("Com 3: tcp://10.0.0.8:4001")));
  EXPECT_EQ(store->profile(1).portNumber, 3) << "a port that did not open at start-up can still be chosen";
}

// The list has gaps where a port has neither an entry nor a device: an entry stands for its own
// port number, not for its place in the list.
TEST_F(SettingsDialogTest, PortEntriesStandForTheirOwnNumbers) {
  store->profile(2).portNumber = 7;
  store->profile(3).portNumber = 2;  // not listed
  Form3& d = make({{1, true, {}}, {3, false, {}}, {7, true, {}}});
  d.selectProfile(2);
  EXPECT_EQ(d.Combo1->currentText(), QStringLiteral("Com 7"));
  d.Combo1->setCurrentIndex(1);
  EXPECT_EQ(store->profile(2).portNumber, 3);
  d.selectProfile(3);
  EXPECT_EQ(d.Combo1->currentIndex(), -1) << "a port that is not listed is not shown as another one";
  EXPECT_EQ(store->profile(3).portNumber, 2) << "and stays stored until another is chosen";
}

}  // namespace
}  // namespace korvane
