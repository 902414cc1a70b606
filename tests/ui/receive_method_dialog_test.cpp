// The receive-method dialog: what it offers, what each way of closing it answers, and that every
// showing starts again from one file.
#include "ui/receive_method_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace korvane {
namespace {

QPushButton* button(QWidget* dialog, const char* name) {
  return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
}

// Runs answer on the modal Form7 as soon as it is up.
void whenMethodDialogShows(std::function<void(Form7*)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<Form7*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no receive-method dialog came up";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    answer(dialog);
  });
}

TEST(ReceiveMethodDialog, ShowsItsCaptionsWithOneFileSelected) {
  Form7 dialog;
  dialog.show();
  EXPECT_EQ(dialog.objectName(), QStringLiteral("Form7"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("取り込み方法"));
  auto* frame = dialog.findChild<QGroupBox*>(QStringLiteral("Frame1"));
  ASSERT_NE(frame, nullptr);

  const QList<QRadioButton*> options = frame->findChildren<QRadioButton*>(QStringLiteral("Option1"));
  ASSERT_EQ(options.size(), 2);
  EXPECT_EQ(options[0]->property("index").toInt(), 0);
  EXPECT_EQ(options[0]->text(), QStringLiteral("１つのファイルに取り込む"));
  EXPECT_EQ(options[1]->property("index").toInt(), 1);
  EXPECT_EQ(options[1]->text(), QStringLiteral("フォルダにプログラムNo毎に取り込む"));
  EXPECT_TRUE(options[0]->isChecked());
  EXPECT_FALSE(options[1]->isChecked());
  EXPECT_EQ(dialog.receiveMethod(), ReceiveMethod::OneFile);

  ASSERT_NE(button(&dialog, "Command1"), nullptr);
  EXPECT_EQ(button(&dialog, "Command1")->text(), QStringLiteral("O　K"));
  ASSERT_NE(button(&dialog, "Command2"), nullptr);
  EXPECT_EQ(button(&dialog, "Command2")->text(), QStringLiteral("Cancel"));
}

TEST(ReceiveMethodDialog, OkAnswersTheSelectedOption) {
  whenMethodDialogShows([](Form7* dialog) { QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton); });
  EXPECT_EQ(askReceiveMethod(nullptr), ReceiveMethod::OneFile);

  whenMethodDialogShows([](Form7* dialog) {
    QTest::mouseClick(dialog->option(1), Qt::LeftButton);
    EXPECT_EQ(dialog->receiveMethod(), ReceiveMethod::FolderPerProgram);
    QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton);
  });
  EXPECT_EQ(askReceiveMethod(nullptr), ReceiveMethod::FolderPerProgram);
}

TEST(ReceiveMethodDialog, EnterIsOk) {
  whenMethodDialogShows([](Form7* dialog) {
    QTest::mouseClick(dialog->option(1), Qt::LeftButton);
    QTest::keyClick(dialog->option(1), Qt::Key_Return);
  });
  EXPECT_EQ(askReceiveMethod(nullptr), ReceiveMethod::FolderPerProgram);
}

TEST(ReceiveMethodDialog, CancelEscapeAndTheCloseBoxAnswerNothing) {
  whenMethodDialogShows([](Form7* dialog) {
    QTest::mouseClick(dialog->option(1), Qt::LeftButton);
    QTest::mouseClick(button(dialog, "Command2"), Qt::LeftButton);
  });
  EXPECT_EQ(askReceiveMethod(nullptr), std::nullopt);

  whenMethodDialogShows([](Form7* dialog) { QTest::keyClick(dialog->option(0), Qt::Key_Escape); });
  EXPECT_EQ(askReceiveMethod(nullptr), std::nullopt);

  whenMethodDialogShows([](Form7* dialog) {
    QTest::mouseClick(dialog->option(1), Qt::LeftButton);
    dialog->close();
  });
  EXPECT_EQ(askReceiveMethod(nullptr), std::nullopt);
}

TEST(ReceiveMethodDialog, EveryShowingStartsFromOneFile) {
  // Folder chosen and confirmed first; the next dialog offers one file again.
  whenMethodDialogShows([](Form7* dialog) {
    QTest::mouseClick(dialog->option(1), Qt::LeftButton);
    QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton);
  });
  ASSERT_EQ(askReceiveMethod(nullptr), ReceiveMethod::FolderPerProgram);
  bool oneFileSelected = false;
  whenMethodDialogShows([&](Form7* dialog) {
    oneFileSelected = dialog->option(0)->isChecked() && !dialog->option(1)->isChecked();
    dialog->reject();
  });
  askReceiveMethod(nullptr);
  EXPECT_TRUE(oneFileSelected);

  // The same dialog object shown again after closing also starts from one file, unconfirmed.
  Form7 dialog;
  dialog.show();
  QTest::mouseClick(dialog.option(1), Qt::LeftButton);
  QTest::mouseClick(button(&dialog, "Command1"), Qt::LeftButton);
  ASSERT_TRUE(dialog.receiveConfirmed());
  dialog.show();
  EXPECT_TRUE(dialog.option(0)->isChecked());
  EXPECT_FALSE(dialog.receiveConfirmed());
}

}  // namespace
}  // namespace korvane
