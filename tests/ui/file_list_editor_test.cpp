// The file list operations with a scripted open dialog: rows, the remembered folder, the learned
// filter, and the two keys they write to the settings file.
#include "ui/file_list_editor.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTemporaryDir>
#include <deque>

#include "support/cp932_iconv.h"

namespace korvane {
namespace {

using test::iconvDecodeCp932;
using test::iconvEncodeCp932;
using test::readFileBytes;

class ScriptedDialogs : public FileDialogs {
 public:
  struct Call {
    QString caption;
    QString folder;
    QString filter;
    bool multiple;
  };
  std::optional<QStringList> openFiles(const QString& caption, const QString& folder, const QString& filter,
                                       bool multiple) override {
    calls.push_back({caption, folder, filter, multiple});
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected dialog";
      return std::nullopt;
    }
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<QStringList>> answers;
  std::vector<Call> calls;
};

class FileListEditorTest : public ::testing::Test {
 protected:
  FileListEditorTest()
      : store_(dir_.filePath(QStringLiteral("korvane.ini"))),
        editor_(&list_, store_, dialogs_, [this](const QString& text) { captions_ << text; }) {
    list_.setSelectionMode(QAbstractItemView::MultiSelection);
    store_.app().dataFolder = QStringLiteral("/start");
    store_.app().fileFilter = QStringLiteral("*.nc");
    editor_.setFilterChangedHandler([this](const QString& filter) { filterEvents_ << filter; });
  }

  void setRows(const QStringList& rows, const QList<int>& selected = {}) {
    list_.clear();
    list_.addItems(rows);
    for (int row : selected) list_.item(row)->setSelected(true);
  }
  QStringList rows() const {
    QStringList out;
    for (int i = 0; i < list_.count(); ++i) out << list_.item(i)->text();
    return out;
  }
  // Keys of section 参照 in file order, as a CP932 reader sees them.
  QList<std::pair<QString, QString>> appKeysInFile() const {
    const auto sections = test::parseIniText(iconvDecodeCp932(readFileBytes(store_.iniPath())));
    for (const auto& s : sections) {
      if (s.name == QStringLiteral("参照")) return s.keys;
    }
    return {};
  }
  static std::pair<QString, QString> key(const char* name, const QString& value) {
    return {QString::fromUtf8(name), value};
  }

  QTemporaryDir dir_;
  SettingsStore store_;
  QListWidget list_;
  ScriptedDialogs dialogs_;
  QStringList captions_;
  QStringList filterEvents_;
  FileListEditor editor_;
};

// ---- adding ---------------------------------------------------------------------------------

TEST_F(FileListEditorTest, AddingThreeFilesAppendsThemInTheDialogsOrder) {
  setRows({QStringLiteral("/old/x.nc")});
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/b.nc"), QStringLiteral("/nc/a.nc"), QStringLiteral("/nc/c.nc")});
  EXPECT_TRUE(editor_.addFiles());
  EXPECT_EQ(rows(), (QStringList{QStringLiteral("/old/x.nc"), QStringLiteral("/nc/b.nc"), QStringLiteral("/nc/a.nc"),
                                 QStringLiteral("/nc/c.nc")}));
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].folder, QStringLiteral("/start"));
  EXPECT_EQ(dialogs_.calls[0].filter, QStringLiteral("ＮＣデータ (*.nc)|*.nc|すべてのﾌｧｲﾙ (*.*)|*.*"));
  EXPECT_TRUE(dialogs_.calls[0].multiple);
  EXPECT_EQ(captions_, QStringList{QStringLiteral("ＮＣデータ転送")});
  EXPECT_EQ(store_.app().dataFolder, QStringLiteral("/nc"));
  // .nc is learned but already in the filter: the filter is stored again, then the folder.
  EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc"));
  EXPECT_EQ(appKeysInFile(), (QList<std::pair<QString, QString>>{key("ﾌｨﾙﾀ", QStringLiteral("*.nc")),
                                                                  key("ﾌｫﾙﾀﾞ", QStringLiteral("/nc"))}));
}

TEST_F(FileListEditorTest, AddingOneFileAppendsExactlyThePathReturned) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/home/op/ＮＣ データ/Ｏ１００.nc")});
  EXPECT_TRUE(editor_.addFiles());
  EXPECT_EQ(rows(), QStringList{QStringLiteral("/home/op/ＮＣ データ/Ｏ１００.nc")});
  EXPECT_EQ(store_.app().dataFolder, QStringLiteral("/home/op/ＮＣ データ"));
  // The folder reaches the file as CP932 bytes.
  const QByteArray bytes = readFileBytes(store_.iniPath());
  EXPECT_TRUE(bytes.contains(iconvEncodeCp932(QStringLiteral("ﾌｫﾙﾀﾞ=/home/op/ＮＣ データ\r\n")))) << bytes.toHex().toStdString();
}

TEST_F(FileListEditorTest, UpperCaseExtensionIsLearnedIntoTheFilter) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/P1.NC")});
  editor_.addFiles();
  EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc;*.NC"));
  EXPECT_EQ(filterEvents_, QStringList{QStringLiteral("*.nc;*.NC")});
  EXPECT_EQ(appKeysInFile(), (QList<std::pair<QString, QString>>{key("ﾌｨﾙﾀ", QStringLiteral("*.nc;*.NC")),
                                                                  key("ﾌｫﾙﾀﾞ", QStringLiteral("/nc"))}));
  // The next dialog offers the learned filter.
  dialogs_.answers.push_back(std::nullopt);
  editor_.addFiles();
  ASSERT_EQ(dialogs_.calls.size(), 2u);
  EXPECT_EQ(dialogs_.calls[1].folder, QStringLiteral("/nc"));
  EXPECT_EQ(dialogs_.calls[1].filter, QStringLiteral("ＮＣデータ (*.nc;*.NC)|*.nc;*.NC|すべてのﾌｧｲﾙ (*.*)|*.*"));
}

TEST_F(FileListEditorTest, NoOrLongExtensionWritesOnlyTheFolder) {
  for (const QString& path : {QStringLiteral("/nc/O1234"), QStringLiteral("/nc/prog.ncdx")}) {
    SCOPED_TRACE(path.toStdString());
    QFile::remove(store_.iniPath());
    dialogs_.answers.push_back(QStringList{path});
    editor_.addFiles();
    EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc"));
    EXPECT_TRUE(filterEvents_.isEmpty());
    EXPECT_EQ(appKeysInFile(), (QList<std::pair<QString, QString>>{key("ﾌｫﾙﾀﾞ", QStringLiteral("/nc"))}));
  }
}

TEST_F(FileListEditorTest, WithSeveralFilesTheFirstChosenNamesTheExtension) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/a.txt"), QStringLiteral("/nc/b.NC")});
  editor_.addFiles();
  EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc;*.txt"));
}

TEST_F(FileListEditorTest, FilesAtTheRootGetNoDoubledSeparator) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/a.nc"), QStringLiteral("/b.nc")});
  editor_.addFiles();
  EXPECT_EQ(rows(), (QStringList{QStringLiteral("/a.nc"), QStringLiteral("/b.nc")}));
  EXPECT_EQ(store_.app().dataFolder, QStringLiteral("/"));
  EXPECT_EQ(appKeysInFile().last(), key("ﾌｫﾙﾀﾞ", QStringLiteral("/")));
}

TEST_F(FileListEditorTest, TheSameFileAddedTwiceStandsTwice) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/a.nc")});
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/a.nc")});
  editor_.addFiles();
  editor_.addFiles();
  EXPECT_EQ(rows(), (QStringList{QStringLiteral("/nc/a.nc"), QStringLiteral("/nc/a.nc")}));
}

TEST_F(FileListEditorTest, CancelChangesNothingButTheCaption) {
  setRows({QStringLiteral("/nc/a.nc")}, {0});
  dialogs_.answers.push_back(std::nullopt);
  dialogs_.answers.push_back(QStringList{});
  dialogs_.answers.push_back(std::nullopt);
  EXPECT_FALSE(editor_.addFiles());
  EXPECT_FALSE(editor_.addFiles());
  EXPECT_FALSE(editor_.insertFile());
  EXPECT_EQ(rows(), QStringList{QStringLiteral("/nc/a.nc")});
  EXPECT_EQ(store_.app().dataFolder, QStringLiteral("/start"));
  EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc"));
  EXPECT_FALSE(QFile::exists(store_.iniPath()));
  EXPECT_EQ(captions_.size(), 2) << "addFiles resets the caption before asking; insertFile does not";
}

// ---- inserting ------------------------------------------------------------------------------

TEST_F(FileListEditorTest, InsertGoesBeforeTheFirstSelectedRowOrToTheEnd) {
  const QStringList abc{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
  const struct {
    const char* name;
    QStringList before;
    QList<int> selected;
    QStringList after;
  } cases[] = {
      {"B selected", abc, {1}, {QStringLiteral("A"), QStringLiteral("/nc/new.nc"), QStringLiteral("B"), QStringLiteral("C")}},
      {"A and C selected", abc, {0, 2}, {QStringLiteral("/nc/new.nc"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}},
      {"nothing selected", abc, {}, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("/nc/new.nc")}},
      {"empty list", {}, {}, {QStringLiteral("/nc/new.nc")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setRows(c.before, c.selected);
    dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/new.nc")});
    EXPECT_TRUE(editor_.insertFile());
    EXPECT_EQ(rows(), c.after);
    ASSERT_FALSE(dialogs_.calls.empty());
    EXPECT_FALSE(dialogs_.calls.back().multiple);
  }
  EXPECT_TRUE(captions_.isEmpty());
}

TEST_F(FileListEditorTest, InsertWritesTheFolderFirstAndTheLearnedFilterAfter) {
  setRows({QStringLiteral("A")});
  dialogs_.answers.push_back(QStringList{QStringLiteral("/srv/nc/part.txt")});
  editor_.insertFile();
  EXPECT_EQ(store_.app().dataFolder, QStringLiteral("/srv/nc"));
  EXPECT_EQ(store_.app().fileFilter, QStringLiteral("*.nc;*.txt"));
  EXPECT_EQ(filterEvents_, QStringList{QStringLiteral("*.nc;*.txt")});
  EXPECT_EQ(appKeysInFile(), (QList<std::pair<QString, QString>>{key("ﾌｫﾙﾀﾞ", QStringLiteral("/srv/nc")),
                                                                  key("ﾌｨﾙﾀ", QStringLiteral("*.nc;*.txt"))}));
}

TEST_F(FileListEditorTest, InsertWithoutExtensionWritesOnlyTheFolder) {
  dialogs_.answers.push_back(QStringList{QStringLiteral("/srv/nc/O0001")});
  editor_.insertFile();
  EXPECT_EQ(appKeysInFile(), (QList<std::pair<QString, QString>>{key("ﾌｫﾙﾀﾞ", QStringLiteral("/srv/nc"))}));
}

TEST_F(FileListEditorTest, WritesKeepTheRestOfTheSettingsFile) {
  SettingsStore other(store_.iniPath());
  other.loadSettings();
  other.profile(2).deviceName = QStringLiteral("旋盤");
  ASSERT_TRUE(other.saveSettings());
  dialogs_.answers.push_back(QStringList{QStringLiteral("/nc/a.NC")});
  editor_.addFiles();
  const auto sections = test::parseIniText(iconvDecodeCp932(readFileBytes(store_.iniPath())));
  EXPECT_EQ(sections.size(), 11);
  EXPECT_EQ(test::iniValue(sections, QStringLiteral("COM2"), QStringLiteral("装置名")), QStringLiteral("旋盤"));
  EXPECT_EQ(test::iniValue(sections, QStringLiteral("参照"), QStringLiteral("ﾌｨﾙﾀ")), QStringLiteral("*.nc;*.NC"));
  EXPECT_EQ(test::iniValue(sections, QStringLiteral("参照"), QStringLiteral("ﾌｫﾙﾀﾞ")), QStringLiteral("/nc"));
}

// ---- deleting and clearing ------------------------------------------------------------------

TEST_F(FileListEditorTest, DeleteRemovesEverySelectedRow) {
  setRows({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}, {1, 3});
  editor_.deleteSelectedFiles();
  EXPECT_EQ(rows(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));

  setRows({QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("B")}, {0, 1});
  editor_.deleteSelectedFiles();
  EXPECT_EQ(rows(), QStringList{QStringLiteral("B")});

  setRows({QStringLiteral("A"), QStringLiteral("B")});
  editor_.deleteSelectedFiles();
  EXPECT_EQ(rows(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(FileListEditorTest, ClearEmptiesTheList) {
  setRows({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("[DIR] /nc")}, {1});
  editor_.clearFileList();
  EXPECT_EQ(list_.count(), 0);
  editor_.clearFileList();
  EXPECT_EQ(list_.count(), 0);
}

}  // namespace
}  // namespace korvane
