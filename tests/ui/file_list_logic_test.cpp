// The dialog-free decisions of the file list: filter text, rows from the dialog's answer,
// extension learning, insertion position and the rows a delete removes.
#include "ui/file_list_logic.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(DialogFilterText, NamesTheFilterAndOffersAllFiles) {
  EXPECT_EQ(dialogFilterText(QStringLiteral("*.nc")), QStringLiteral("ＮＣデータ (*.nc)|*.nc|すべてのﾌｧｲﾙ (*.*)|*.*"));
  EXPECT_EQ(dialogFilterText(QStringLiteral("*.nc;*.txt")),
            QStringLiteral("ＮＣデータ (*.nc;*.txt)|*.nc;*.txt|すべてのﾌｧｲﾙ (*.*)|*.*"));
}

TEST(QtNameFilters, TheDescriptionStaysAsWrittenAndThePatternsFollowBlankSeparated) {
  EXPECT_EQ(qtNameFilters(dialogFilterText(QStringLiteral("*.nc;*.txt"))),
            (QStringList{QStringLiteral("ＮＣデータ (*.nc;*.txt) (*.nc *.txt)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*) (*)")}));
  EXPECT_EQ(qtNameFilters(dialogFilterText(QStringLiteral("*.nc"))),
            (QStringList{QStringLiteral("ＮＣデータ (*.nc) (*.nc)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*) (*)")}));
  // Stray separators in a hand-edited filter give no empty pattern.
  EXPECT_EQ(qtNameFilters(dialogFilterText(QStringLiteral("*.nc;;*.NC;"))).first(),
            QStringLiteral("ＮＣデータ (*.nc;;*.NC;) (*.nc *.NC)"));
}

TEST(RowsFromDialogResult, JoinsFolderAndNameInTheDialogsOrder) {
  EXPECT_EQ(rowsFromDialogResult(QStringLiteral("/home/op/nc"), {QStringLiteral("b.nc"), QStringLiteral("a.nc"), QStringLiteral("c.nc")}),
            (QStringList{QStringLiteral("/home/op/nc/b.nc"), QStringLiteral("/home/op/nc/a.nc"), QStringLiteral("/home/op/nc/c.nc")}));
}

TEST(RowsFromDialogResult, RootFolderGetsNoDoubledSeparator) {
  EXPECT_EQ(rowsFromDialogResult(QStringLiteral("/"), {QStringLiteral("a.nc"), QStringLiteral("b.nc")}),
            (QStringList{QStringLiteral("/a.nc"), QStringLiteral("/b.nc")}));
}

TEST(RowsFromDialogFileName, OneFullPathIsOneRowUnchanged) {
  EXPECT_EQ(rowsFromDialogFileName(QStringLiteral("/home/op/nc dir/ｐ１.nc")), QStringList{QStringLiteral("/home/op/nc dir/ｐ１.nc")});
  EXPECT_TRUE(rowsFromDialogFileName(QString()).isEmpty());
}

TEST(RowsFromDialogFileName, FolderThenNamesSeparatedByNul) {
  const QChar nul(0);
  EXPECT_EQ(rowsFromDialogFileName(QStringLiteral("/nc") + nul + QStringLiteral("z.nc") + nul + QStringLiteral("a.nc") + nul +
                                   QStringLiteral("m.nc")),
            (QStringList{QStringLiteral("/nc/z.nc"), QStringLiteral("/nc/a.nc"), QStringLiteral("/nc/m.nc")}));
  EXPECT_EQ(rowsFromDialogFileName(QStringLiteral("/") + nul + QStringLiteral("a.nc") + nul + QStringLiteral("b.nc")),
            (QStringList{QStringLiteral("/a.nc"), QStringLiteral("/b.nc")}));
  // A trailing NUL, as the raw Windows answer carries, adds no row for the empty name.
  EXPECT_EQ(rowsFromDialogFileName(QStringLiteral("/nc") + nul + QStringLiteral("a.nc") + nul),
            QStringList{QStringLiteral("/nc/a.nc")});
}

TEST(RowsFromChosenPaths, OnePathStaysAsReturnedSeveralAreJoined) {
  EXPECT_EQ(rowsFromChosenPaths({QStringLiteral("/nc/a.nc")}), QStringList{QStringLiteral("/nc/a.nc")});
  EXPECT_EQ(rowsFromChosenPaths({QStringLiteral("/b.nc"), QStringLiteral("/a.nc")}),
            (QStringList{QStringLiteral("/b.nc"), QStringLiteral("/a.nc")}));
  EXPECT_EQ(rowsFromChosenPaths({QStringLiteral("/x/b.nc"), QStringLiteral("/y/a.nc")}),
            (QStringList{QStringLiteral("/x/b.nc"), QStringLiteral("/y/a.nc")}));
  EXPECT_TRUE(rowsFromChosenPaths({}).isEmpty());
}

TEST(FolderOfPath, IsWhatComesBeforeTheLastSeparator) {
  EXPECT_EQ(folderOfPath(QStringLiteral("/home/op/nc/a.nc")), QStringLiteral("/home/op/nc"));
  EXPECT_EQ(folderOfPath(QStringLiteral("/a.nc")), QStringLiteral("/"));
  EXPECT_EQ(fileTitleOf(QStringLiteral("/home/op/nc/a.nc")), QStringLiteral("a.nc"));
  EXPECT_EQ(fileTitleOf(QStringLiteral("/a.nc")), QStringLiteral("a.nc"));
}

struct LearnCase {
  const char* title;
  const char* filterBefore;
  std::optional<const char*> learned;
  const char* filterAfter;
};

TEST(LearnExtension, LooksAtTheLastFourCharactersOnly) {
  const LearnCase cases[] = {
      {"x.nc", "*.nc", ".nc", "*.nc"},
      {"A.NC", "*.nc", ".NC", "*.nc;*.NC"},
      {"x.nc", "*.NC", ".nc", "*.NC;*.nc"},
      {"a.txt", "*.nc", ".txt", "*.nc;*.txt"},
      {"ab.h", "*.nc", ".h", "*.nc;*.h"},
      {".nc", "*.txt", ".nc", "*.txt;*.nc"},
      {"O1234", "*.nc", std::nullopt, "*.nc"},
      {"prog.ncdx", "*.nc", std::nullopt, "*.nc"},
      {"v1.2.nc01", "*.nc", std::nullopt, "*.nc"},
      // Contained as a substring, even inside a longer pattern: learned, filter unchanged.
      {"x.n", "*.nc", ".n", "*.nc"},
      {"x.c", "*.nc", ".c", "*.nc;*.c"},
      {"a.b.c", "*.nc", ".b.c", "*.nc;*.b.c"},
      {"prog.", "*.nc", ".", "*.nc"},
  };
  for (const LearnCase& c : cases) {
    SCOPED_TRACE(c.title);
    QString filter = QString::fromUtf8(c.filterBefore);
    const std::optional<QString> learned = learnExtension(QString::fromUtf8(c.title), filter);
    if (c.learned) {
      ASSERT_TRUE(learned.has_value());
      EXPECT_EQ(*learned, QString::fromUtf8(*c.learned));
    } else {
      EXPECT_FALSE(learned.has_value());
    }
    EXPECT_EQ(filter, QString::fromUtf8(c.filterAfter));
  }
}

TEST(InsertPosition, IsTheFirstSelectedRowOrTheEnd) {
  EXPECT_EQ(insertPosition({false, true, false}), 1);
  EXPECT_EQ(insertPosition({true, false, true}), 0);
  EXPECT_EQ(insertPosition({false, false, true}), 2);
  EXPECT_EQ(insertPosition({false, false, false}), 3);
  EXPECT_EQ(insertPosition({}), 0);
}

TEST(RowsToDelete, AreTheSelectedRowsFromTheBottomUp) {
  EXPECT_EQ(rowsToDelete({false, true, false, true}), (QList<int>{3, 1}));
  EXPECT_EQ(rowsToDelete({true, true, true}), (QList<int>{2, 1, 0}));
  EXPECT_TRUE(rowsToDelete({false, false}).isEmpty());
  EXPECT_TRUE(rowsToDelete({}).isEmpty());
}

}  // namespace
}  // namespace korvane
