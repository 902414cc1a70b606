// The folder chooser: where it opens, moving through drives and folders, creating a folder on the
// way, and that only "Ｏ　Ｋ" gives a folder.
#include "ui/folder_chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include "folder_dialogs_fixture.h"
#include "ui/folder_create_dialog.h"

namespace korvane {
namespace {

using test::buttonOf;
using test::whenModalShows;

class FolderChooser : public test::FolderTree {
 protected:
  // Drive 0 is the file-system root, drive 1 the temporary folder, drive 2 a volume that has
  // gone away (its mount point no longer exists).
  QList<DriveEntry> drives() const {
    return {{QStringLiteral("/"), QStringLiteral("/")},
            {root_, root_ + QStringLiteral("  [TEMP]")},
            {root_ + QStringLiteral("/unplugged"), QStringLiteral("unplugged")}};
  }
  void open(const QString& dataFolder) {
    chooser_ = std::make_unique<Form2>(dataFolder, drives());
    chooser_->show();
    drive_ = chooser_->findChild<QComboBox*>(QStringLiteral("Drive1"));
    dir_ = chooser_->findChild<QTreeWidget*>(QStringLiteral("Dir1"));
    files_ = chooser_->findChild<QListWidget*>(QStringLiteral("File1"));
    label_ = chooser_->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_TRUE(drive_ && dir_ && files_ && label_);
  }
  QStringList fileNames() const {
    QStringList names;
    for (int row = 0; row < files_->count(); ++row) names << files_->item(row)->text();
    return names;
  }
  QString highlightedFolder() const {
    return dir_->currentItem() ? dir_->currentItem()->data(0, Qt::UserRole).toString() : QString();
  }
  QTreeWidgetItem* folderItem(const QString& path) const {
    for (QTreeWidgetItemIterator it(dir_); *it; ++it) {
      if ((*it)->data(0, Qt::UserRole).toString() == path) return *it;
    }
    return nullptr;
  }
  // Highlights the folder in the tree and presses Enter on it, as the operator would.
  void enterFolder(const QString& path) {
    QTreeWidgetItem* item = folderItem(path);
    ASSERT_NE(item, nullptr) << path.toStdString();
    dir_->setCurrentItem(item);
    QTest::keyClick(dir_, Qt::Key_Return);
  }
  // The chooser shows folder everywhere it shows one.
  void expectShowing(const QString& folder) {
    const std::string expected = folder.toStdString();
    EXPECT_EQ(label_->text().toStdString(), expected);
    EXPECT_EQ(chooser_->receiveFolder().toStdString(), expected);
    EXPECT_EQ(highlightedFolder().toStdString(), expected);
    EXPECT_EQ(fileNames().join(u'|').toStdString(),
              QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase).join(u'|').toStdString());
  }
  void pressButton(const char* name) { QTest::mouseClick(buttonOf(chooser_.get(), name), Qt::LeftButton); }

  std::unique_ptr<Form2> chooser_;
  QComboBox* drive_ = nullptr;
  QTreeWidget* dir_ = nullptr;
  QListWidget* files_ = nullptr;
  QLabel* label_ = nullptr;
};

TEST_F(FolderChooser, OpensOnTheDataFolderInTheDriveThatHoldsIt) {
  open(nc_);
  EXPECT_EQ(chooser_->objectName(), QStringLiteral("Form2"));
  EXPECT_EQ(chooser_->windowTitle(), QStringLiteral("フォルダの指定"));
  EXPECT_EQ(buttonOf(chooser_.get(), "Command1")->text(), QStringLiteral("Ｏ　Ｋ"));
  EXPECT_EQ(buttonOf(chooser_.get(), "Command2")->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(buttonOf(chooser_.get(), "Command3")->text(), QStringLiteral("ﾌｫﾙﾀﾞ作成"));

  EXPECT_EQ(drive_->count(), 3);
  EXPECT_EQ(drive_->currentIndex(), 1);
  expectShowing(nc_);
  EXPECT_EQ(fileNames(), (QStringList{QStringLiteral("A.txt"), QStringLiteral("b.nc")}));
  // The tree: the drive's root, the path down to the folder, then its subfolders.
  ASSERT_EQ(dir_->topLevelItemCount(), 1);
  QTreeWidgetItem* top = dir_->topLevelItem(0);
  EXPECT_EQ(top->text(0), root_);
  ASSERT_EQ(top->childCount(), 1);
  QTreeWidgetItem* nc = top->child(0);
  EXPECT_EQ(nc->text(0), QStringLiteral("nc"));
  ASSERT_EQ(nc->childCount(), 2);
  EXPECT_EQ(nc->child(0)->text(0), QStringLiteral("Sub1"));
  EXPECT_EQ(nc->child(1)->text(0), QStringLiteral("sub2"));
  EXPECT_TRUE(messages_.texts.isEmpty());
}

TEST_F(FolderChooser, AMissingDataFolderOpensOnItsNearestExistingFolder) {
  open(nc_ + QStringLiteral("/gone/deeper/"));
  EXPECT_EQ(drive_->currentIndex(), 1);
  expectShowing(nc_);
}

TEST_F(FolderChooser, AnEmptyOrForeignDataFolderOpensTheHomeFolder) {
  const QString home = QDir::cleanPath(QDir::homePath());
  for (const QString& dataFolder : {QString(), QStringLiteral("C:\\NC"), QStringLiteral("nc")}) {
    open(dataFolder);
    EXPECT_EQ(chooser_->receiveFolder(), home) << dataFolder.toStdString();
    EXPECT_EQ(label_->text(), home);
  }
}

TEST_F(FolderChooser, EnterInTheTreeMovesDownAndUpWithoutClosing) {
  open(nc_);
  enterFolder(nc_ + QStringLiteral("/sub2"));
  EXPECT_TRUE(chooser_->isVisible());
  expectShowing(nc_ + QStringLiteral("/sub2"));
  EXPECT_TRUE(fileNames().isEmpty());
  enterFolder(root_);
  expectShowing(root_);
  EXPECT_EQ(dir_->topLevelItem(0)->childCount(), 1);  // nc only; the drive's root is the top
  EXPECT_TRUE(chooser_->isVisible());
}

TEST_F(FolderChooser, DoubleClickOpensAFolder) {
  open(nc_);
  QTreeWidgetItem* sub1 = folderItem(nc_ + QStringLiteral("/Sub1"));
  ASSERT_NE(sub1, nullptr);
  // A real double click: the first click, then the second reported as a double click.
  const QPoint at = dir_->visualItemRect(sub1).center();
  QTest::mouseClick(dir_->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(chooser_->receiveFolder().toStdString(), nc_.toStdString());  // one click only highlights
  QTest::mouseDClick(dir_->viewport(), Qt::LeftButton, {}, at);
  QCoreApplication::processEvents();  // the tree is rebuilt once the view is done with the click
  expectShowing(nc_ + QStringLiteral("/Sub1"));
  EXPECT_TRUE(chooser_->isVisible());
}

TEST_F(FolderChooser, AFolderThatVanishedGivesAMessageAndTheShownOneStays) {
  open(nc_);
  ASSERT_TRUE(QDir(nc_ + QStringLiteral("/sub2")).removeRecursively());
  enterFolder(nc_ + QStringLiteral("/sub2"));
  ASSERT_EQ(messages_.texts.size(), 1);
  EXPECT_TRUE(messages_.texts[0].contains(nc_ + QStringLiteral("/sub2")));
  expectShowing(nc_);
  EXPECT_EQ(folderItem(nc_ + QStringLiteral("/sub2")), nullptr);  // the tree was read again
  enterFolder(nc_ + QStringLiteral("/Sub1"));
  expectShowing(nc_ + QStringLiteral("/Sub1"));
}

TEST_F(FolderChooser, EachDriveKeepsItsCurrentFolder) {
  open(nc_);
  enterFolder(nc_ + QStringLiteral("/Sub1"));
  drive_->setCurrentIndex(0);
  expectShowing(QStringLiteral("/"));
  drive_->setCurrentIndex(1);
  expectShowing(nc_ + QStringLiteral("/Sub1"));
}

TEST_F(FolderChooser, ADriveThatIsNotReadyGivesAMessageAndTheDialogStaysUsable) {
  open(nc_);
  enterFolder(nc_ + QStringLiteral("/Sub1"));
  drive_->setCurrentIndex(2);
  ASSERT_EQ(messages_.texts.size(), 1);
  EXPECT_TRUE(messages_.texts[0].contains(root_ + QStringLiteral("/unplugged")));
  EXPECT_EQ(drive_->currentIndex(), 1);
  expectShowing(nc_ + QStringLiteral("/Sub1"));

  enterFolder(nc_);
  pressButton("Command1");
  EXPECT_EQ(chooser_->result(), QDialog::Accepted);
  EXPECT_EQ(chooser_->receiveFolder(), nc_);
}

TEST_F(FolderChooser, ADataFolderOnADriveThatIsNotReadyOpensOnAReadyOne) {
  open(root_ + QStringLiteral("/unplugged/nc"));
  EXPECT_EQ(messages_.texts.size(), 1);
  EXPECT_EQ(drive_->currentIndex(), 0);
  expectShowing(QStringLiteral("/"));
}

TEST_F(FolderChooser, OkGivesTheShownFolderAndCancelNothing) {
  open(nc_);
  enterFolder(nc_ + QStringLiteral("/sub2"));
  pressButton("Command1");
  EXPECT_FALSE(chooser_->isVisible());
  EXPECT_EQ(chooser_->result(), QDialog::Accepted);
  EXPECT_EQ(chooser_->receiveFolder(), nc_ + QStringLiteral("/sub2"));

  open(nc_);
  enterFolder(nc_ + QStringLiteral("/sub2"));
  pressButton("Command2");
  EXPECT_FALSE(chooser_->isVisible());
  EXPECT_EQ(chooser_->result(), QDialog::Rejected);
  EXPECT_TRUE(chooser_->receiveFolder().isEmpty());
}

TEST_F(FolderChooser, EscapeAndTheCloseBoxAreCancelEverywhere) {
  const auto escapeIn = [this](const char* control) {
    open(nc_);
    auto* widget = chooser_->findChild<QWidget*>(QString::fromLatin1(control));
    ASSERT_NE(widget, nullptr);
    QTest::keyClick(widget, Qt::Key_Escape);
    EXPECT_FALSE(chooser_->isVisible()) << control;
    EXPECT_EQ(chooser_->result(), QDialog::Rejected) << control;
    EXPECT_TRUE(chooser_->receiveFolder().isEmpty()) << control;
  };
  escapeIn("Dir1");
  escapeIn("Drive1");
  escapeIn("File1");
  escapeIn("Command3");

  open(nc_);
  chooser_->close();
  EXPECT_EQ(chooser_->result(), QDialog::Rejected);
  EXPECT_TRUE(chooser_->receiveFolder().isEmpty());
}

TEST_F(FolderChooser, ACreatedFolderIsShownAtOnceAndOkGivesIt) {
  open(nc_);
  whenModalShows<Form4>([this](Form4* creation) {
    EXPECT_EQ(creation->findChild<QLabel*>(QStringLiteral("Label1"))->text(), nc_);
    QTest::keyClicks(creation->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("work"));
    QTest::mouseClick(buttonOf(creation, "Command1"), Qt::LeftButton);
  });
  pressButton("Command3");
  const QString work = nc_ + QStringLiteral("/work");
  EXPECT_TRUE(QFileInfo(work).isDir());
  EXPECT_EQ(drive_->currentIndex(), 1);
  expectShowing(work);
  pressButton("Command1");
  EXPECT_EQ(chooser_->result(), QDialog::Accepted);
  EXPECT_EQ(chooser_->receiveFolder(), work);
}

TEST_F(FolderChooser, CancelledCreationKeepsTheShownFolder) {
  open(nc_);
  enterFolder(nc_ + QStringLiteral("/Sub1"));
  whenModalShows<Form4>([](Form4* creation) {
    QTest::keyClicks(creation->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("work"));
    QTest::mouseClick(buttonOf(creation, "Command2"), Qt::LeftButton);
  });
  pressButton("Command3");
  expectShowing(nc_ + QStringLiteral("/Sub1"));
  EXPECT_FALSE(QFileInfo::exists(nc_ + QStringLiteral("/Sub1/work")));
}

// The whole road through the modal helper with the system's drives: the temporary folder is
// somewhere under "/" or the home folder, so it opens there.
TEST_F(FolderChooser, ChooseReceiveFolderAnswersWithTheCreatedFolderOrNothing) {
  whenModalShows<Form2>([this](Form2* chooser) {
    EXPECT_EQ(chooser->receiveFolder(), nc_);
    whenModalShows<Form4>([](Form4* creation) {
      QTest::keyClicks(creation->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("work"));
      QTest::keyClick(creation->findChild<QLineEdit*>(QStringLiteral("Text1")), Qt::Key_Return);
    });
    QTest::mouseClick(buttonOf(chooser, "Command3"), Qt::LeftButton);
    QTest::mouseClick(buttonOf(chooser, "Command1"), Qt::LeftButton);
  });
  EXPECT_EQ(chooseReceiveFolder(nullptr, nc_), nc_ + QStringLiteral("/work"));

  whenModalShows<Form2>([](Form2* chooser) {
    QTest::keyClick(chooser->findChild<QWidget*>(QStringLiteral("Dir1")), Qt::Key_Escape);
  });
  EXPECT_TRUE(chooseReceiveFolder(nullptr, nc_).isEmpty());
  EXPECT_TRUE(messages_.texts.isEmpty());
}

}  // namespace
}  // namespace korvane
