// The main window's "加工長、時間" and "ﾌｧｲﾙ情報" commands on the selected rows of its list.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "main_window_fixture.h"
#include "ui/file_properties.h"
#include "test_doubles.h"
#include "ui/result_window.h"
#include "support/test_files.h"

namespace korvane::test {
namespace {

// %, O1000, a rapid block that does not move, 100 mm at 200 mm/min, M30, %: 41 tape characters.
const QByteArray kSixBlocks = "%\r\nO1000\r\nG90 G00 X0 Y0\r\nG01 X100. F200\r\nM30\r\n%\r\n";
const QStringList kSixBlocksRow = {"SIX.NC", "1000", "0.50", "100.00", "0.10"};


class AnalysisCommands : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    setPropertiesSheetService(&sheets);
  }
  void TearDown() override { setPropertiesSheetService(nullptr); }

  QString writeProgram(const QString& name, const QByteArray& text) {
    return test::writeTestFile(dir.path(), name, text);
  }
  void select(MainWindow& w, const QList<int>& rows) {
    w.List1->clearSelection();
    for (int r : rows) w.List1->item(r)->setSelected(true);
  }
  Form5* results(MainWindow& w) { return w.findChild<Form5*>(); }

  RecordingSheets sheets;
};

TEST_F(AnalysisCommands, MeasuresOnlySelectedRowsAndShowsTheSixBlockFigures) {
  const QString other = writeProgram("OTHER.NC", "O2\r\nG01 X5. F100\r\nM30\r\n");
  const QString six = writeProgram("SIX.NC", kSixBlocks);
  MainWindow& w = start({other, six});
  select(w, {1});
  w.flist_time->trigger();
  Form5* form = results(w);
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(form->rowCount(), 1);
  EXPECT_EQ(form->rowTexts(0), kSixBlocksRow);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AnalysisCommands, RapidMovesRunAtTheRateOfTheMachineInTheMachineBox) {
  // 500 mm at the rapid rate: 0.10 min at 5000 mm/min, 0.20 min at the 2500 of profile 2.
  store(QStringLiteral("COM2"), QStringLiteral("早送り速度"), QStringLiteral("2500"));
  const QString rapid = writeProgram("RAPID.NC", "G91 G00 X500.\r\nM30\r\n");
  MainWindow& w = start({rapid});
  select(w, {0});
  w.flist_time->trigger();
  w.comportm->setCurrentIndex(1);
  select(w, {0});
  w.flist_time->trigger();
  Form5* form = results(w);
  ASSERT_NE(form, nullptr);
  ASSERT_EQ(form->rowCount(), 2);
  EXPECT_EQ(form->rowTexts(0)[2], "0.10");
  EXPECT_EQ(form->rowTexts(1)[2], "0.20");
}

TEST_F(AnalysisCommands, ALatheInTheMachineBoxReadsTheProgramAsALatheDoesAsTheCommandLineDoes) {
  // The golden case's machine as profile 3: the window shows the row `korvane-cli analyze
  // --profile` prints for it.
  const QDir golden(QStringLiteral(KORVANE_TEST_DATA_DIR "/analysis/lathe_g71_stepped_shaft_two_block"));
  QFile keys(golden.filePath(QStringLiteral("machine.txt")));
  ASSERT_TRUE(keys.open(QIODevice::ReadOnly));
  for (const QString& line : QString::fromUtf8(keys.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    store(QStringLiteral("COM3"), line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).trimmed());
  }
  QFile expected(golden.filePath(QStringLiteral("expected.tsv")));
  ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
  const QStringList row = QString::fromUtf8(expected.readAll()).trimmed().split(QLatin1Char('\t'));
  MainWindow& w = start({golden.filePath(QStringLiteral("g71.nc"))});
  w.comportm->setCurrentIndex(2);
  select(w, {0});
  w.flist_time->trigger();
  ASSERT_NE(results(w), nullptr);
  ASSERT_EQ(results(w)->rowCount(), 1);
  EXPECT_EQ(results(w)->rowTexts(0), row);
}

TEST_F(AnalysisCommands, RunsAppendWhileTheWindowStaysOpenAndStartAfreshOnceClosed) {
  const QString six = writeProgram("SIX.NC", kSixBlocks);
  const QString sub = writeProgram("SUB.NC", "O10\r\nG91 G01 X10. Y10. F100\r\nM30\r\nO20\r\nM99\r\n");
  MainWindow& w = start({six, sub});
  select(w, {0});
  w.kakou_time();
  select(w, {0, 1});
  w.kakou_time();
  Form5* form = results(w);
  ASSERT_NE(form, nullptr);
  ASSERT_EQ(form->rowCount(), 4);
  EXPECT_EQ(form->rowTexts(0), kSixBlocksRow);
  EXPECT_EQ(form->rowTexts(1), kSixBlocksRow);
  // 14.142 mm at 100 mm/min over 31 tape characters (78.7 mm of tape); the second program
  // of the file carries no file name.
  EXPECT_EQ(form->rowTexts(2), QStringList({"SUB.NC", "10", "0.14", "14.14", "0.08"}));
  EXPECT_EQ(form->rowTexts(3).mid(0, 2), QStringList({"", "20"}));

  form->Command1->click();
  select(w, {0});
  w.kakou_time();
  EXPECT_EQ(results(w), form);
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(form->rowCount(), 1);
}

TEST_F(AnalysisCommands, NoSelectionShowsTheWindowWithoutRowsAndFileInfoDoesNothing) {
  const QString six = writeProgram("SIX.NC", kSixBlocks);
  MainWindow& w = start({six});
  select(w, {});
  w.flist_time->trigger();
  ASSERT_NE(results(w), nullptr);
  EXPECT_TRUE(results(w)->isVisible());
  EXPECT_EQ(results(w)->rowCount(), 0);
  w.flist_fname->trigger();
  EXPECT_TRUE(sheets.asked.isEmpty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AnalysisCommands, UnreadableFileStopsTheRunWithItsNameAndKeepsEarlierRows) {
  const QString six = writeProgram("SIX.NC", kSixBlocks);
  const QString gone = dir.filePath("GONE.NC");
  const QString later = writeProgram("LATER.NC", kSixBlocks);
  MainWindow& w = start({six, gone, later});
  select(w, {0, 1, 2});
  w.kakou_time();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("GONE.NC\r\n"))) << messages[0].text.toStdString();
  EXPECT_GT(messages[0].text.size(), QStringLiteral("GONE.NC\r\n").size());
  EXPECT_FALSE(messages[0].yesNo);
  ASSERT_NE(results(w), nullptr);
  EXPECT_TRUE(results(w)->isVisible());
  ASSERT_EQ(results(w)->rowCount(), 1);
  EXPECT_EQ(results(w)->rowTexts(0), kSixBlocksRow);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AnalysisCommands, FileInfoAsksForSelectedFilesAndStopsAtAMissingOne) {
  const QString a = writeProgram("A.NC", "M30\r\n");
  const QString b = writeProgram("B.NC", "M30\r\n");
  const QString c = writeProgram("C.NC", "M30\r\n");
  MainWindow& w = start({a, dir.filePath("NONE.NC"), b, c});
  select(w, {0, 2});
  w.flist_fname->trigger();
  EXPECT_EQ(sheets.asked, QStringList({a, b}));
  EXPECT_TRUE(messages.isEmpty());

  sheets.asked.clear();
  select(w, {0, 1, 3});
  w.flist_fname->trigger();
  EXPECT_EQ(sheets.asked, QStringList({a}));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].text, QStringLiteral("ファイルがありません"));
  EXPECT_FALSE(messages[0].yesNo);
}

TEST_F(AnalysisCommands, FileInfoWithoutFileManagerOpensOurDialogOnTheWindow) {
  sheets.answers = false;
  const QString a = writeProgram("A.NC", kSixBlocks);
  MainWindow& w = start({a});
  select(w, {0});
  w.flist_fname->trigger();
  QApplication::processEvents();
  const auto dialogs = w.findChildren<FilePropertiesDialog*>();
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0]->fieldText("path"), QFileInfo(a).absoluteFilePath());
  EXPECT_EQ(dialogs[0]->fieldText("size"), QString::number(kSixBlocks.size()) + QStringLiteral(" バイト"));
}

}  // namespace
}  // namespace korvane::test
