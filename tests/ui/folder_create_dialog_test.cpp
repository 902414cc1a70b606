// The folder creation dialog: the new folder's path, the names it refuses, and that a refusal
// leaves the dialog open for another try.
#include "ui/folder_create_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "folder_dialogs_fixture.h"

namespace korvane {
namespace {

using test::buttonOf;

TEST(JoinFolder, AddsOneSeparatorAndNoneAfterARoot) {
  EXPECT_EQ(joinFolder(QStringLiteral("/data/nc"), QStringLiteral("work")), QStringLiteral("/data/nc/work"));
  EXPECT_EQ(joinFolder(QStringLiteral("/"), QStringLiteral("work")), QStringLiteral("/work"));
  EXPECT_EQ(joinFolder(QStringLiteral("/media/usb/"), QStringLiteral("O 12")), QStringLiteral("/media/usb/O 12"));
}

TEST(FolderNameProblem, RefusesNamesThatAreNoFolderOfTheirOwn) {
  EXPECT_TRUE(folderNameProblem(QStringLiteral("work")).isEmpty());
  EXPECT_TRUE(folderNameProblem(QStringLiteral("受信 データ")).isEmpty());
  EXPECT_TRUE(folderNameProblem(QStringLiteral(".hidden")).isEmpty());
  EXPECT_FALSE(folderNameProblem(QStringLiteral("a/b")).isEmpty());
  EXPECT_FALSE(folderNameProblem(QStringLiteral("/")).isEmpty());
  EXPECT_FALSE(folderNameProblem(QStringLiteral(".")).isEmpty());
  EXPECT_FALSE(folderNameProblem(QStringLiteral("..")).isEmpty());
  EXPECT_FALSE(folderNameProblem(QStringLiteral("   ")).isEmpty());
}

class FolderCreateDialog : public test::FolderTree {
 protected:
  void SetUp() override {
    FolderTree::SetUp();
    dialog_ = std::make_unique<Form4>(nc_);
    dialog_->show();
    text_ = dialog_->findChild<QLineEdit*>(QStringLiteral("Text1"));
    ASSERT_NE(text_, nullptr);
  }
  void type(const QString& name) {
    text_->clear();
    QTest::keyClicks(text_, name);
  }
  void pressOk() { QTest::mouseClick(buttonOf(dialog_.get(), "Command1"), Qt::LeftButton); }
  QString label(const char* name) const {
    auto* label = dialog_->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
  }
  // Still open, nothing made, so the operator can correct the name.
  void expectStillOpen() {
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_TRUE(dialog_->createdFolder().isEmpty());
  }

  std::unique_ptr<Form4> dialog_;
  QLineEdit* text_ = nullptr;
};

TEST_F(FolderCreateDialog, ShowsItsCaptionsAndTheChoosersFolder) {
  EXPECT_EQ(dialog_->objectName(), QStringLiteral("Form4"));
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("ﾌｫﾙﾀﾞ作成"));
  EXPECT_EQ(label("Label2"), QStringLiteral("現在のﾌｫﾙﾀﾞ"));
  EXPECT_EQ(label("Label1"), nc_);
  EXPECT_EQ(label("Label3"), QStringLiteral("作成するﾌｫﾙﾀﾞ"));
  EXPECT_EQ(buttonOf(dialog_.get(), "Command1")->text(), QStringLiteral("ＯＫ"));
  EXPECT_EQ(buttonOf(dialog_.get(), "Command2")->text(), QStringLiteral("Cancel"));
  EXPECT_TRUE(text_->text().isEmpty());
}

TEST_F(FolderCreateDialog, OkCreatesTheFolderInsideTheShownOne) {
  type(QStringLiteral("work"));
  pressOk();
  const QString work = nc_ + QStringLiteral("/work");
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_EQ(dialog_->createdFolder(), work);
  EXPECT_TRUE(QFileInfo(work).isDir());
  EXPECT_TRUE(messages_.texts.isEmpty());
}

TEST_F(FolderCreateDialog, EnterInTheNameIsOk) {
  // Japanese text arrives committed by the input method, not key by key.
  text_->insert(QStringLiteral("受信"));
  QTest::keyClick(text_, Qt::Key_Return);
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_TRUE(QFileInfo(nc_ + QStringLiteral("/受信")).isDir());
}

TEST_F(FolderCreateDialog, OkWithAnEmptyNameDoesNothing) {
  pressOk();
  QTest::keyClick(text_, Qt::Key_Return);
  expectStillOpen();
  EXPECT_TRUE(messages_.texts.isEmpty());
  EXPECT_EQ(QDir(nc_).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(FolderCreateDialog, AnExistingFolderGivesAMessageAndTheDialogStaysUsable) {
  type(QStringLiteral("sub2"));
  pressOk();
  expectStillOpen();
  ASSERT_EQ(messages_.texts.size(), 1);
  EXPECT_TRUE(messages_.texts[0].contains(nc_ + QStringLiteral("/sub2"))) << messages_.texts[0].toStdString();

  // A second try with another name goes through.
  type(QStringLiteral("sub3"));
  pressOk();
  EXPECT_EQ(dialog_->createdFolder(), nc_ + QStringLiteral("/sub3"));
  EXPECT_TRUE(QFileInfo(dialog_->createdFolder()).isDir());
}

TEST_F(FolderCreateDialog, AFileOfTheSameNameGivesAMessage) {
  type(QStringLiteral("b.nc"));
  pressOk();
  expectStillOpen();
  ASSERT_EQ(messages_.texts.size(), 1);
  EXPECT_TRUE(QFileInfo(nc_ + QStringLiteral("/b.nc")).isFile());
}

TEST_F(FolderCreateDialog, AFolderThatCannotBeMadeGivesTheSystemsReason) {
  // Even the superuser cannot make a folder inside a regular file.
  Form4 underFile(nc_ + QStringLiteral("/b.nc"));
  underFile.show();
  auto* text = underFile.findChild<QLineEdit*>(QStringLiteral("Text1"));
  ASSERT_NE(text, nullptr);
  QTest::keyClicks(text, QStringLiteral("work"));
  QTest::mouseClick(buttonOf(&underFile, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(underFile.isVisible());
  EXPECT_TRUE(underFile.createdFolder().isEmpty());
  ASSERT_EQ(messages_.texts.size(), 1);
  EXPECT_TRUE(messages_.texts[0].contains(QStringLiteral("Not a directory"))) << messages_.texts[0].toStdString();
}

TEST_F(FolderCreateDialog, NamesThatAreNoSingleFolderAreRefused) {
  for (const QString& name : {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("  ")}) {
    type(name);
    pressOk();
    expectStillOpen();
  }
  EXPECT_EQ(messages_.texts.size(), 3);
  EXPECT_FALSE(QFileInfo::exists(nc_ + QStringLiteral("/a")));
  EXPECT_FALSE(QFileInfo::exists(nc_ + QStringLiteral("/  ")));
}

TEST_F(FolderCreateDialog, CancelAndEscapeCreateNothing) {
  type(QStringLiteral("work"));
  QTest::keyClick(text_, Qt::Key_Escape);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);

  dialog_->show();
  type(QStringLiteral("work"));
  QTest::mouseClick(buttonOf(dialog_.get(), "Command2"), Qt::LeftButton);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_TRUE(dialog_->createdFolder().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(nc_ + QStringLiteral("/work")));
}

}  // namespace
}  // namespace korvane
