// The settings dialog as the main window opens it: the stored machine selected, names typed in
// the dialog shown in the machine box, the shutdown check box set on close.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "main_window_fixture.h"
#include "ui/settings_dialog.h"

namespace korvane::test {
namespace {

using MainWindowSettingsTest = MainWindowTest;

TEST_F(MainWindowSettingsTest, OpensOnTheCurrentMachineAndRenamesItsEntry) {
  storeApp(kKeyStartSlot, QStringLiteral("3"));
  MainWindow& w = start();
  w.cmdportset->click();
  auto* dialog = w.findChild<Form3*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->editedProfile(), 3);
  EXPECT_EQ(dialog->comport->currentIndex(), 2);
  EXPECT_EQ(dialog->Combo1->count(), 3);

  dialog->portname->setText(QStringLiteral("ﾏｼﾆﾝｸﾞ"));
  EXPECT_EQ(w.comportm->itemText(2), QStringLiteral("ﾏｼﾆﾝｸﾞ"));
  EXPECT_EQ(w.comportm->currentIndex(), 2);

  dialog->Chkshut->click();
  dialog->cmdsetok->click();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(w.Check1->isChecked());

  w.cmdportset->click();
  EXPECT_EQ(w.findChildren<Form3*>().size(), 1);
  EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
}  // namespace korvane::test
