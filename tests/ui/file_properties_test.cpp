// "ﾌｧｲﾙ情報": which paths count as files, the file manager request and our own dialog.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include "ui/file_properties.h"
#include "test_doubles.h"
#include "support/test_files.h"

namespace korvane::test {
namespace {


class FileProperties : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString makeFile(const QString& name, qsizetype bytes) {
    return test::writeTestFile(dir.path(), name, QByteArray(bytes, 'G'));
  }
  bool run(const QStringList& paths) {
    return showFileProperties(paths, &owner, sheets, [this](const QString& text) { missing << text; });
  }

  QTemporaryDir dir;
  QWidget owner;
  RecordingSheets sheets;
  QStringList missing;
};

TEST_F(FileProperties, OrdinaryFilesOnlyCountAsPresent) {
  EXPECT_TRUE(isOrdinaryVisibleFile(makeFile("A.NC", 3)));
  EXPECT_FALSE(isOrdinaryVisibleFile(makeFile(".HIDDEN.NC", 3)));
  EXPECT_FALSE(isOrdinaryVisibleFile(dir.path()));
  EXPECT_FALSE(isOrdinaryVisibleFile(dir.filePath("NONE.NC")));
  EXPECT_FALSE(isOrdinaryVisibleFile(QString()));
  const QString link = dir.filePath("DANGLING.NC");
  ASSERT_TRUE(QFile::link(dir.filePath("GONE.NC"), link));
  EXPECT_FALSE(isOrdinaryVisibleFile(link));
}

TEST_F(FileProperties, EachFileGoesToTheFileManagerInOrder) {
  const QString a = makeFile("A.NC", 3);
  const QString b = makeFile("B.NC", 4);
  EXPECT_TRUE(run({a, b}));
  EXPECT_EQ(sheets.asked, QStringList({a, b}));
  EXPECT_TRUE(missing.isEmpty());
  EXPECT_TRUE(owner.findChildren<FilePropertiesDialog*>().isEmpty());
}

TEST_F(FileProperties, FirstMissingFileStopsWithTheMessageAfterEarlierSheets) {
  const QString a = makeFile("A.NC", 3);
  const QString c = makeFile("C.NC", 3);
  EXPECT_FALSE(run({a, dir.filePath("NONE.NC"), c}));
  EXPECT_EQ(sheets.asked, QStringList({a}));
  EXPECT_EQ(missing, QStringList({QStringLiteral("ファイルがありません")}));
}

TEST_F(FileProperties, HiddenFilesAndFoldersAreReportedAsMissing) {
  EXPECT_FALSE(run({makeFile(".HIDDEN.NC", 3)}));
  EXPECT_FALSE(run({dir.path()}));
  EXPECT_TRUE(sheets.asked.isEmpty());
  EXPECT_EQ(missing, QStringList({kNoFileMessage, kNoFileMessage}));
}

TEST_F(FileProperties, WithoutFileManagerOurOwnDialogShowsPathSizeAndDetails) {
  sheets.answers = false;
  const QString a = makeFile("A.NC", 1234);
  const QString b = makeFile("B.NC", 7);
  EXPECT_TRUE(run({a, b}));
  EXPECT_EQ(sheets.asked, QStringList({a, b}));
  // The answer that no file manager took the request comes later, from the event loop.
  EXPECT_TRUE(owner.findChildren<FilePropertiesDialog*>().isEmpty());
  QApplication::processEvents();
  const auto dialogs = owner.findChildren<FilePropertiesDialog*>();
  ASSERT_EQ(dialogs.size(), 2);
  EXPECT_EQ(dialogs[0]->fieldText("path"), QFileInfo(a).absoluteFilePath());
  EXPECT_EQ(dialogs[0]->fieldText("size"), QStringLiteral("1,234 バイト"));
  EXPECT_EQ(dialogs[1]->fieldText("path"), QFileInfo(b).absoluteFilePath());
  EXPECT_EQ(dialogs[1]->fieldText("size"), QStringLiteral("7 バイト"));
  EXPECT_FALSE(dialogs[0]->isModal());
  EXPECT_TRUE(dialogs[0]->isVisible());
  EXPECT_FALSE(dialogs[0]->fieldText("modified").isEmpty());
  EXPECT_EQ(dialogs[0]->fieldText("permissions").size(), 9);
  EXPECT_TRUE(dialogs[0]->fieldText("permissions").startsWith("rw"));
  EXPECT_TRUE(dialogs[0]->fieldText("owner").startsWith(QFileInfo(a).owner()));
  EXPECT_TRUE(dialogs[0]->fieldText("unknown").isEmpty());
}

}  // namespace
}  // namespace korvane::test
