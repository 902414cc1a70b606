// The settings dialog's frames: every frame and control whole at the fonts the window uses, the
// folder boxes of the service with their folder chooser, and the frame of the time estimate's
// machine keys.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "folder_dialogs_fixture.h"
#include "settings/ini_file.h"
#include "settings_dialog_fixture.h"
#include "ui/folder_chooser.h"
#include "ui/japanese_fonts.h"

namespace korvane::test {
namespace {

using SettingsDialogFrames = SettingsDialogTest;

QString describe(const QWidget* w) {
  QString text;
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
  if (const auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  if (const auto* frame = qobject_cast<const QGroupBox*>(w)) text = frame->title();
  return w->objectName() + QStringLiteral(" \"") + text + QStringLiteral("\"");
}

// Every control lies inside the part of its frame below the caption, no two controls of one frame
// overlap, and every caption has the room its text needs.
void expectNothingCutOff(QDialog& dialog) {
  const QList<QWidget*> all = dialog.findChildren<QWidget*>();
  for (QWidget* w : all) {
    if (!w->isVisibleTo(&dialog) || w->isWindow()) continue;
    QWidget* parent = w->parentWidget();
    if (parent != &dialog && !qobject_cast<QGroupBox*>(parent)) continue;  // the parts of a combo box and the like
    const QRect area = parent == &dialog ? dialog.rect() : parent->contentsRect();
    EXPECT_TRUE(area.contains(w->geometry()))
        << describe(w).toStdString() << " at " << w->x() << "," << w->y() << " " << w->width() << "x" << w->height()
        << " outside " << describe(parent).toStdString() << " " << area.width() << "x" << area.height() << "+"
        << area.x() << "+" << area.y();
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QLabel*>(w)) {
      EXPECT_GE(w->width(), w->sizeHint().width()) << describe(w).toStdString() << " cut off on the right";
      EXPECT_GE(w->height(), w->sizeHint().height()) << describe(w).toStdString() << " cut off at the foot";
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      const QFontMetrics metrics(button->font());
      EXPECT_GE(button->width(), metrics.horizontalAdvance(button->text()) + 8) << describe(w).toStdString();
      EXPECT_GE(button->height(), metrics.height() + 4) << describe(w).toStdString();
    }
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
      EXPECT_GE(w->height(), w->minimumSizeHint().height()) << describe(w).toStdString() << " too low for its text";
    }
    for (QWidget* other : all) {
      if (other == w || other->parentWidget() != parent || !other->isVisibleTo(&dialog) || other->isWindow()) continue;
      EXPECT_FALSE(w->geometry().intersects(other->geometry()))
          << describe(w).toStdString() << " overlaps " << describe(other).toStdString();
    }
  }
}

TEST_F(SettingsDialogFrames, EveryFrameIsWholeAtTheDefaultFontAndAtTheGothicFont) {
  installJapaneseFontSubstitutes();
  for (const QFont& font : {QApplication::font(), QFont(kGothicFamily, 9), QFont(kGothicFamily, 10)}) {
    SCOPED_TRACE(font.toString().toStdString());
    Form3& d = make();
    d.setFont(font);
    d.show();
    QApplication::processEvents();
    d.selectProfile(1);
    expectNothingCutOff(d);
    // Every frame of the dialog is there to be seen: the service and the time estimate's too.
    for (QGroupBox* frame : {d.Frame2, d.Frame3, d.Frame4, d.Frame5}) {
      ASSERT_NE(frame, nullptr);
      EXPECT_TRUE(frame->isVisible()) << describe(frame).toStdString();
    }
    // A shop-floor PC's screen holds the whole dialog.
    EXPECT_LE(d.frameGeometry().width(), 1024);
    EXPECT_LE(d.frameGeometry().height(), 740);
    dialog.reset();
  }
}

// The folder chooser of the reception: opens on the folder the box names and gives the box the
// folder chosen; Cancel leaves the box as it was.
TEST_F(SettingsDialogFrames, TheServiceFoldersAreChosenWithTheFolderChooser) {
  const QString programs = QDir::cleanPath(dir.filePath(QStringLiteral("programs")));
  const QString received = QDir::cleanPath(dir.filePath(QStringLiteral("received")));
  ASSERT_TRUE(QDir().mkpath(programs + QStringLiteral("/mc1")));
  ASSERT_TRUE(QDir().mkpath(received));
  store->profile(2).programFolder = programs;
  Form3& d = make();
  d.show();
  d.selectProfile(2);
  ASSERT_NE(d.cmdprgfolder, nullptr);
  ASSERT_NE(d.cmdrcvfolder, nullptr);
  EXPECT_EQ(d.cmdprgfolder->text(), QStringLiteral("参照"));
  EXPECT_EQ(d.cmdrcvfolder->text(), QStringLiteral("参照"));

  QString openedOn;
  whenModalShows<Form2>([&](Form2* chooser) {
    openedOn = chooser->receiveFolder();
    auto* tree = chooser->findChild<QTreeWidget*>(QStringLiteral("Dir1"));
    ASSERT_NE(tree, nullptr);
    // Down into mc1, as a double-click in the folder tree does.
    const QList<QTreeWidgetItem*> found = tree->findItems(QStringLiteral("mc1"), Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    emit tree->itemActivated(found[0], 0);
    QApplication::processEvents();  // the chooser opens the folder once the tree is done with the item
    buttonOf(chooser, "Command1")->click();
  });
  d.cmdprgfolder->click();
  EXPECT_EQ(openedOn, programs);
  EXPECT_EQ(QDir::cleanPath(d.txtprgfolder->text()), programs + QStringLiteral("/mc1"));
  EXPECT_EQ(QDir::cleanPath(store->profile(2).programFolder), programs + QStringLiteral("/mc1"));

  whenModalShows<Form2>([](Form2* chooser) { buttonOf(chooser, "Command2")->click(); });
  d.cmdrcvfolder->click();
  EXPECT_TRUE(d.txtrcvfolder->text().isEmpty());
  EXPECT_TRUE(store->profile(2).receiveFolder.isEmpty());
}

TEST_F(SettingsDialogFrames, TheEstimateFrameEditsTheMachineOfTheEditedProfile) {
  PortProfile& lathe = store->profile(3);
  lathe.rapidRate = 12000;
  lathe.machineKind = 1;
  lathe.maxSpindleSpeed = 3500;
  lathe.toolChangeSeconds = 4.5;
  lathe.decimalPointInput = 1;
  lathe.restartToolChange = 0;
  Form3& d = make();
  d.show();
  ASSERT_NE(d.Frame5, nullptr);
  EXPECT_EQ(d.Frame5->title(), QStringLiteral("加工時間の計算"));
  // 早送り速度 is edited here with the others, not elsewhere.
  for (QWidget* w : std::initializer_list<QWidget*>{d.txtrapid, d.txtspindle, d.txttoolchange, d.optmachine->button(1),
                                                    d.optpoint->button(1), d.chkrestarttool}) {
    EXPECT_EQ(w->parentWidget(), d.Frame5) << describe(w).toStdString();
  }

  d.selectProfile(3);
  EXPECT_EQ(d.txtrapid->text(), QStringLiteral("12000"));
  EXPECT_EQ(d.txtspindle->text(), QStringLiteral("3500"));
  EXPECT_EQ(d.txttoolchange->text(), QStringLiteral("4.5"));
  EXPECT_EQ(d.optmachine->checkedId(), 1);
  EXPECT_EQ(d.optpoint->checkedId(), 1);
  EXPECT_FALSE(d.chkrestarttool->isChecked());

  d.selectProfile(4);  // the defaults
  EXPECT_EQ(d.txtrapid->text(), QStringLiteral("5000"));
  EXPECT_EQ(d.txtspindle->text(), QStringLiteral("4000"));
  EXPECT_EQ(d.txttoolchange->text(), QStringLiteral("0"));
  EXPECT_EQ(d.optmachine->checkedId(), 0);
  EXPECT_EQ(d.optpoint->checkedId(), 0);
  EXPECT_TRUE(d.chkrestarttool->isChecked()) << "a restart writes T and M06 unless the profile says not";
  d.chkrestarttool->click();
  d.optmachine->button(1)->click();
  d.optpoint->button(1)->click();
  d.txtrapid->setText(QStringLiteral("24000"));
  d.txtspindle->setText(QStringLiteral("6000"));
  d.txttoolchange->setText(QStringLiteral("8"));
  EXPECT_TRUE(messages.isEmpty()) << "no port is opened for the estimate's keys";
  EXPECT_TRUE(ports->attempted.isEmpty());
  EXPECT_EQ(store->profile(3).rapidRate, 12000) << "the other machine keeps its values";
  d.cmdfsave->click();

  SettingsStore reread(store->iniPath());
  reread.loadSettings();
  const PortProfile& saved = reread.profile(4);
  EXPECT_EQ(saved.machineKind, 1);
  EXPECT_EQ(saved.decimalPointInput, 1);
  EXPECT_EQ(saved.rapidRate, 24000);
  EXPECT_EQ(saved.maxSpindleSpeed, 6000);
  EXPECT_EQ(saved.toolChangeSeconds, 8);
  EXPECT_EQ(saved.restartToolChange, 0);
  const IniFile ini = IniFile::load(store->iniPath());
  EXPECT_EQ(ini.value(QStringLiteral("COM4"), QStringLiteral("機械種類")), QStringLiteral("1"));
  EXPECT_EQ(ini.value(QStringLiteral("COM4"), QStringLiteral("工具交換時間")), QStringLiteral("8"));
}

// A number the estimate cannot use is not taken over; leaving the box says what it takes and
// shows the value in use again. An empty box is no number either.
TEST_F(SettingsDialogFrames, ANumberTheEstimateCannotUseIsRefusedWithAMessage) {
  Form3& d = make();
  d.show();
  d.selectProfile(1);
  d.txtrapid->setText(QStringLiteral("15000"));
  d.txtspindle->setText(QStringLiteral("8000"));
  d.txttoolchange->setText(QStringLiteral("3"));
  struct Box {
    QLineEdit* box;
    double PortProfile::*field;
    double kept;
    QStringList refused;
  };
  const Box boxes[] = {
      {d.txtrapid, &PortProfile::rapidRate, 15000, {"", "x", "0", "-100", "1e999", "2000000"}},
      {d.txtspindle, &PortProfile::maxSpindleSpeed, 8000, {"", "rpm", "0", "-1", "2000000"}},
      {d.txttoolchange, &PortProfile::toolChangeSeconds, 3, {"", "-1", "3601", "nan"}},
  };
  for (const Box& b : boxes) {
    for (const QString& typed : b.refused) {
      SCOPED_TRACE((b.box->objectName() + QStringLiteral(" \"") + typed + QStringLiteral("\"")).toStdString());
      messages.clear();
      b.box->setText(typed);
      EXPECT_EQ(store->profile(1).*b.field, b.kept);
      emit b.box->editingFinished();
      ASSERT_EQ(messages.size(), 1);
      EXPECT_FALSE(messages[0].isEmpty());
      EXPECT_EQ(b.box->text(), QString::number(b.kept)) << "the box shows the value in use again";
    }
  }
  messages.clear();
  d.txttoolchange->setText(QStringLiteral("0"));
  emit d.txttoolchange->editingFinished();
  d.txtrapid->setText(QStringLiteral("0.5"));
  emit d.txtrapid->editingFinished();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(store->profile(1).toolChangeSeconds, 0) << "no time for a tool change is a time";
  EXPECT_EQ(store->profile(1).rapidRate, 0.5);
}

}  // namespace
}  // namespace korvane::test
