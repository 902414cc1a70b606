#include <QDir>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>

#include "main_window_fixture.h"
#include "test_doubles.h"

namespace korvane::test {
namespace {

const QString kHostile = QStringLiteral("/tmp/a b/\"q\" it's;touch pwned;1.nc");

class ListInteractionsTest : public MainWindowTest {
 protected:
  MainWindow& startWith(const QStringList& rows) {
    MainWindow& w = start();
    // The platform default editor would hide the "not set" cases.
    settings->app().editorPath.clear();
    settings->app().viewerPath.clear();
    for (const QString& row : rows) w.List1->addItem(row);
    w.resize(600, 400);
    w.show();
    // The list lays its rows out on a later event; row geometry is meaningless before that.
    QApplication::processEvents();
    return w;
  }
  void select(std::initializer_list<int> rows) {
    for (int row : rows) window->List1->item(row)->setSelected(true);
  }
  QPoint rowCenter(int row) const { return window->List1->visualItemRect(window->List1->item(row)).center(); }
  QPoint belowLastRow() const {
    const QRect last = window->List1->visualItemRect(window->List1->item(window->List1->count() - 1));
    return {last.center().x(), last.bottom() + 20};
  }
  void moveTo(const QPoint& pos) {
    QMouseEvent move(QEvent::MouseMove, pos, window->List1->viewport()->mapToGlobal(pos), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window->List1->viewport(), &move);
  }
  RecordingLauncher launcher;
};

TEST_F(ListInteractionsTest, EditorAndViewerNotSetSayWhichAndStartNothing) {
  startWith({QStringLiteral("/tmp/1.nc")});
  select({0});
  window->onEdit();
  window->onViewer();
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[0].text, QStringLiteral("エディターが設定されていません"));
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(messages[1].text, QStringLiteral("ビューワが設定されていません"));
  EXPECT_EQ(messages[1].icon, MessageIcon::Critical);
  EXPECT_TRUE(launcher.launches.isEmpty());
}

TEST_F(ListInteractionsTest, EditorStartsOncePerSelectedRowInListOrder) {
  startWith({QStringLiteral("/tmp/1.nc"), QStringLiteral("/tmp/2.nc"), kHostile, QStringLiteral("/tmp/4.nc")});
  settings->app().editorPath = QStringLiteral("gedit --new-window");
  select({3, 0, 2});
  window->cmdedit->click();
  ASSERT_EQ(launcher.launches.size(), 3);
  const QStringList expected{QStringLiteral("/tmp/1.nc"), kHostile, QStringLiteral("/tmp/4.nc")};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(launcher.launches[i].program, QStringLiteral("gedit"));
    EXPECT_EQ(launcher.launches[i].args, (QStringList{QStringLiteral("--new-window"), expected[i]}));
  }
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ListInteractionsTest, ViewerStartsOnceWithEverySelectedRow) {
  startWith({QStringLiteral("/tmp/1.nc"), kHostile, QStringLiteral("/tmp/3.nc")});
  settings->app().viewerPath = QStringLiteral("/usr/bin/less");
  select({0, 1, 2});
  window->flist_view->trigger();
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("/usr/bin/less"));
  EXPECT_EQ(launcher.launches[0].args, (QStringList{QStringLiteral("/tmp/1.nc"), kHostile, QStringLiteral("/tmp/3.nc")}));
}

TEST_F(ListInteractionsTest, NothingSelectedStartsNothing) {
  startWith({QStringLiteral("/tmp/1.nc")});
  settings->app().editorPath = QStringLiteral("gedit");
  settings->app().viewerPath = QStringLiteral("less");
  window->onEdit();
  window->onViewer();
  EXPECT_TRUE(launcher.launches.isEmpty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ListInteractionsTest, ProgramThatCannotStartGivesOneMessageAndTheWindowGoesOn) {
  startWith({QStringLiteral("/tmp/1.nc"), QStringLiteral("/tmp/2.nc")});
  settings->app().editorPath = QStringLiteral("/no/such/editor");
  select({0, 1});
  launcher.failWith = QStringLiteral("/no/such/editor を起動できません");
  window->onEdit();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].text, launcher.failWith);
  EXPECT_EQ(launcher.launches.size(), 1);
  launcher.failWith.clear();
  window->onEdit();
  EXPECT_EQ(launcher.launches.size(), 3);
}

TEST_F(ListInteractionsTest, TooltipIsTheFullPathOfTheRowUnderThePointer) {
  startWith({QStringLiteral("/tmp/first.nc"), QStringLiteral("/very/long/folder/name/second.nc")});
  moveTo(rowCenter(1));
  EXPECT_EQ(window->List1->toolTip(), QStringLiteral("/very/long/folder/name/second.nc"));
  moveTo(belowLastRow());
  EXPECT_TRUE(window->List1->toolTip().isEmpty());
}

TEST_F(ListInteractionsTest, DoubleClickOpensAFileInTheEditorAndAFolderInTheFileManager) {
  const QString folder = dir.path();
  startWith({QStringLiteral("/tmp/missing file.nc"), folder});
  settings->app().editorPath = QStringLiteral("mousepad");
  QWidget* viewport = window->List1->viewport();
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCenter(0));
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, rowCenter(1));
  ASSERT_EQ(launcher.launches.size(), 2) << "one start per double-click";
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("mousepad"));
  EXPECT_EQ(launcher.launches[0].args, QStringList{QStringLiteral("/tmp/missing file.nc")});
  EXPECT_EQ(launcher.launches[1].program, QStringLiteral("xdg-open"));
  EXPECT_EQ(launcher.launches[1].args, QStringList{folder});
  auto* interactions = window->findChild<ListInteractions*>();
  ASSERT_NE(interactions, nullptr);
  EXPECT_EQ(interactions->clickedRow(), 1);
}

TEST_F(ListInteractionsTest, DoubleClickWithoutEditorOnlySaysSoAndLeavesTheSelection) {
  startWith({dir.path()});
  // The view toggles the row on the first press of the two; the double-click undoes that.
  QTest::mouseClick(window->List1->viewport(), Qt::LeftButton, Qt::NoModifier, rowCenter(0));
  ASSERT_TRUE(window->List1->item(0)->isSelected());
  QTest::mouseDClick(window->List1->viewport(), Qt::LeftButton, Qt::NoModifier, rowCenter(0));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].text, QStringLiteral("エディターが設定されていません"));
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_FALSE(window->List1->item(0)->isSelected());
  EXPECT_TRUE(launcher.launches.isEmpty());
}

TEST_F(ListInteractionsTest, DoubleClickBelowTheRowsOpensAndTogglesTheLastRow) {
  startWith({QStringLiteral("/tmp/1.nc"), QStringLiteral("/tmp/2.nc")});
  settings->app().editorPath = QStringLiteral("mousepad");
  QTest::mouseDClick(window->List1->viewport(), Qt::LeftButton, Qt::NoModifier, belowLastRow());
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].args, QStringList{QStringLiteral("/tmp/2.nc")});
  EXPECT_TRUE(window->List1->item(1)->isSelected());
  EXPECT_FALSE(window->List1->item(0)->isSelected());
}

TEST_F(ListInteractionsTest, RightPressShowsTheRowMenuOrTheAddMenuAndKeepsTheSelection) {
  startWith({});
  QStringList shown;
  const auto pressRight = [&](const QPoint& pos) {
    QTimer::singleShot(0, [&] {
      for (QMenu* menu : {window->flistmnu, window->flistmnu2}) {
        if (!menu->isVisible()) continue;
        shown << menu->objectName();
        menu->close();
      }
    });
    QTest::mousePress(window->List1->viewport(), Qt::RightButton, Qt::NoModifier, pos);
    QTest::mouseRelease(window->List1->viewport(), Qt::RightButton, Qt::NoModifier, pos);
  };
  pressRight(QPoint(10, 10));
  window->List1->addItem(QStringLiteral("/tmp/1.nc"));
  window->List1->addItem(QStringLiteral("/tmp/2.nc"));
  pressRight(rowCenter(1));
  EXPECT_EQ(shown, (QStringList{QStringLiteral("flistmnu2"), QStringLiteral("flistmnu")}));
  EXPECT_TRUE(window->List1->selectedItems().isEmpty());
  EXPECT_EQ(window->findChild<ListInteractions*>()->clickedRow(), 1);
}

TEST_F(ListInteractionsTest, DroppedFilesAndFoldersAreAppendedInDropOrder) {
  startWith({QStringLiteral("/tmp/0.nc")});
  select({0});
  auto* data = new QMimeData;
  const QString folder = dir.path();
  data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/b b.nc")), QUrl(QStringLiteral("https://example.org/x.nc")),
                 QUrl::fromLocalFile(folder), QUrl::fromLocalFile(QStringLiteral("/tmp/a;\"x\".nc"))});
  // A drop reaches a widget only after its drag entered it.
  QDragEnterEvent enter(rowCenter(0), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window->List1->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(rowCenter(0)), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window->List1->viewport(), &drop);
  delete data;
  EXPECT_EQ(window->rows(), (QStringList{QStringLiteral("/tmp/0.nc"), QStringLiteral("/tmp/b b.nc"), folder,
                                         QStringLiteral("/tmp/a;\"x\".nc")}));
  EXPECT_TRUE(window->List1->item(0)->isSelected());
  EXPECT_FALSE(window->List1->item(1)->isSelected());
}

// A send reads the list row by row: no rows may appear under it. A reception only appends rows
// of its own, so drops go on.
TEST_F(ListInteractionsTest, DropsAreRefusedDuringASendOnly) {
  startWith({QStringLiteral("/tmp/0.nc")});
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/new.nc"))});
  const auto drop = [&] {
    QDragEnterEvent enter(rowCenter(0), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->List1->viewport(), &enter);
    QDropEvent dropped(QPointF(rowCenter(0)), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->List1->viewport(), &dropped);
    return enter.isAccepted();
  };
  window->enterTransfer(TransferKind::Send);
  EXPECT_FALSE(drop());
  window->leaveTransfer(TransferKind::Send);
  EXPECT_EQ(window->rows(), QStringList{QStringLiteral("/tmp/0.nc")});
  window->enterTransfer(TransferKind::Receive);
  EXPECT_TRUE(drop());
  window->leaveTransfer(TransferKind::Receive);
  EXPECT_EQ(window->rows(), (QStringList{QStringLiteral("/tmp/0.nc"), QStringLiteral("/tmp/new.nc")}));
}

}  // namespace
}  // namespace korvane::test
