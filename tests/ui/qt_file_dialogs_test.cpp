// The Qt open dialog behind FileDialogs: what it offers and what it returns, answered by a timer
// the way an operator would.
#include "ui/file_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "support/cp932_iconv.h"
#include "ui/file_list_logic.h"

namespace korvane {
namespace {

// Rows the dialog's file view shows for the folder it opened in.
int shownFiles(QFileDialog* dialog) {
  auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
  return view && view->model() ? view->model()->rowCount(view->rootIndex()) : -1;
}

// Runs answer on the modal file dialog once it is up and its view shows `files` rows (the folder
// is read in the background). Gives up with a failure, closing the dialog, after a generous time.
void whenDialogShows(int files, std::function<void(QFileDialog*)> answer) {
  auto* timer = new QTimer;
  auto* waited = new QElapsedTimer;
  waited->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, waited, files, answer] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    const bool ready = dialog && shownFiles(dialog) == files;
    if (!ready && waited->elapsed() < 20000) return;
    timer->stop();
    timer->deleteLater();
    delete waited;
    if (!dialog) {
      ADD_FAILURE() << "no file dialog came up";
      return;
    }
    if (!ready) {
      ADD_FAILURE() << "the dialog shows " << shownFiles(dialog) << " files, expected " << files;
      dialog->reject();
      return;
    }
    answer(dialog);
  });
  timer->start();
}

// Types into the dialog's file name box, as the operator would.
void typeFileNames(QFileDialog* dialog, const QString& text) {
  auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nameEdit, nullptr);
  nameEdit->setText(text);
}

class QtFileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.nc", "b.txt", "c.doc", "O1234"}) {
      ASSERT_TRUE(test::writeFileBytes(dir_.filePath(QString::fromUtf8(name)), "%\r\n"));
    }
  }
  QString file(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
  QTemporaryDir dir_;
  QtFileDialogs dialogs_{nullptr};
};

TEST_F(QtFileDialogsTest, ShowsTheFilesOfEveryPatternAndReturnsTheChosenPath) {
  QStringList nameFilters;
  QString title;
  // a.nc and b.txt match "*.nc;*.txt"; c.doc and O1234 do not.
  whenDialogShows(2, [&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    // What the operator reads in the file type box.
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; types && i < types->count(); ++i) nameFilters << types->itemText(i);
    typeFileNames(dialog, QStringLiteral("b.txt"));
    static_cast<QDialog*>(dialog)->accept();  // as the Open button does
  });
  const auto chosen = dialogs_.openFiles(QStringLiteral("開く"), dir_.path(), dialogFilterText(QStringLiteral("*.nc;*.txt")), false);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, QStringList{file("b.txt")});
  EXPECT_EQ(title, QStringLiteral("開く"));
  EXPECT_EQ(nameFilters, (QStringList{QStringLiteral("ＮＣデータ (*.nc;*.txt)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
}

TEST_F(QtFileDialogsTest, AllFilesEntryShowsNamesWithoutExtensionToo) {
  whenDialogShows(1, [&](QFileDialog* dialog) {
    dialog->selectNameFilter(dialog->nameFilters().last());
    whenDialogShows(4, [](QFileDialog* d) {
      typeFileNames(d, QStringLiteral("O1234"));
      static_cast<QDialog*>(d)->accept();
    });
  });
  const auto chosen = dialogs_.openFiles(QStringLiteral("開く"), dir_.path(), dialogFilterText(QStringLiteral("*.nc")), false);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, QStringList{file("O1234")});
}

TEST_F(QtFileDialogsTest, ReturnsSeveralFilesWhenMultipleAndNothingOnCancel) {
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  whenDialogShows(2, [&](QFileDialog* dialog) {
    mode = dialog->fileMode();
    typeFileNames(dialog, QStringLiteral("\"b.txt\" \"a.nc\""));
    static_cast<QDialog*>(dialog)->accept();
  });
  auto chosen = dialogs_.openFiles(QStringLiteral("開く"), dir_.path(), dialogFilterText(QStringLiteral("*.nc;*.txt")), true);
  EXPECT_EQ(mode, QFileDialog::ExistingFiles);
  ASSERT_TRUE(chosen.has_value());
  chosen->sort();
  EXPECT_EQ(*chosen, (QStringList{file("a.nc"), file("b.txt")}));

  whenDialogShows(1, [](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_FALSE(dialogs_.openFiles(QStringLiteral("開く"), dir_.path(), dialogFilterText(QStringLiteral("*.nc")), true));
}

TEST_F(QtFileDialogsTest, TakesANewFileNameForAReceptionTarget) {
  QFileDialog::FileMode mode = QFileDialog::ExistingFiles;
  whenDialogShows(1, [&](QFileDialog* dialog) {
    mode = dialog->fileMode();
    typeFileNames(dialog, QStringLiteral("new.nc"));
    static_cast<QDialog*>(dialog)->accept();
  });
  dialogs_.setAcceptNewFileName(true);
  const auto chosen = dialogs_.openFiles(QStringLiteral("開く"), dir_.path(), dialogFilterText(QStringLiteral("*.nc")), true);
  EXPECT_EQ(mode, QFileDialog::AnyFile);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, QStringList{file("new.nc")});
}

}  // namespace
}  // namespace korvane
