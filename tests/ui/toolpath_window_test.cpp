// The toolpath window, offscreen, on real programs: stepping it block by block shows each block's
// line, text and the time into the program that the estimate itself gives for the program cut
// off after that block; the picture follows the views, the rapids switch, the chosen block, the
// wheel and the window's size; two clicks measure; the file list and the result window open it.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

#include "analysis/machining_time.h"
#include "analysis/toolpath_style.h"
#include "main_window_fixture.h"
#include "support/test_files.h"
#include "ui/result_window.h"
#include "ui/toolpath_canvas.h"
#include "ui/restart_dialog.h"
#include "ui/toolpath_window.h"

namespace korvane::test {
namespace {

using toolpath::View;

// A pocket: rapids down, cuts around with arcs, a second tool, rapids away.
const QByteArray kPocket =
    "%\r\nO1000 (POCKET)\r\nG90 G17 G21\r\nT1 M06\r\nG00 X0 Y0 Z5.\r\nG01 Z-1. F100\r\nG01 X40. F300\r\n"
    "G03 X50. Y10. R10.\r\nG01 Y30.\r\nG02 X40. Y40. I-10. J0\r\nG01 X0\r\nG00 Z5.\r\nT2 M06\r\n"
    "G00 X60. Y0\r\nG01 Z-2. F80\r\nG01 Y40. F200\r\nG00 Z50.\r\nM30\r\n%\r\n";

bool waitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 20000); }

bool newPicture(ToolpathWindow& w) {
  QCoreApplication::processEvents();  // the request goes out on the next turn of the loop
  return waitUntil([&] { return w.canvas->pictureCurrent(); });
}

// Pixels of the picture for which `is` holds.
int pixelsWhere(const ToolpathWindow& w, const std::function<bool(const QColor&)>& is) {
  const QImage* image = w.canvas->pictureImage();
  if (image == nullptr) return -1;
  int count = 0;
  for (int y = 0; y < image->height(); ++y) {
    for (int x = 0; x < image->width(); ++x) count += is(image->pixelColor(x, y));
  }
  return count;
}

// Pixels within `slack` of a colour (the sum of the three differences).
int pixelsOf(const ToolpathWindow& w, std::uint32_t rgb, int slack) {
  const QColor want = QColor::fromRgb(static_cast<QRgb>(rgb));
  return pixelsWhere(w, [&](const QColor& c) {
    return std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) < slack;
  });
}

// The rapids' orange-red, at any strength the dashes and the smoothing leave it.
bool rapidRed(const QColor& c) { return c.red() - c.green() > 40 && c.red() - c.blue() > 40; }
// The first tool's green.
bool firstToolGreen(const QColor& c) { return c.green() - c.red() > 40 && c.green() - c.blue() > 30; }

// The time the estimate gives for the program cut off after `line` lines: its last row.
QString estimateUpTo(const QByteArray& program, int line) {
  QByteArray head;
  int lines = 0;
  for (const QByteArray& l : program.split('\n')) {
    if (lines++ == line) break;
    head += l + '\n';
  }
  QString time = QStringLiteral("0.00");
  MachiningTimeCalculator calculator([&time](const MachiningRow& row) { time = row.time; });
  calculator.computeBytes(QStringLiteral("p.nc"), head);
  return time;
}

class ToolpathWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    installJapaneseFontSubstitutes();
  }
  ToolpathWindow& open(const QByteArray& program, const MachineModel& machine = {}) {
    path = writeTestFile(dir.path(), QStringLiteral("PART.NC"), program);
    window = std::make_unique<ToolpathWindow>(path, machine);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(1000, 640);
    window->show();
    EXPECT_TRUE(waitUntil([&] { return window->toolpath() != nullptr; }));
    EXPECT_TRUE(newPicture(*window));
    return *window;
  }

  QTemporaryDir dir;
  QString path;
  std::unique_ptr<ToolpathWindow> window;
};

TEST_F(ToolpathWindowTest, SteppingShowsEachBlockWithTheEstimatesTimeIntoTheProgram) {
  ToolpathWindow& w = open(kPocket);
  QStringList views;
  for (int i = 0; i < w.viewBox->count(); ++i) views << w.viewBox->itemText(i);
  EXPECT_EQ(views, QStringList({"上 (XY)", "正面 (XZ)", "右側面 (YZ)", "等角"}));
  const std::int64_t blocks = w.toolpath()->blockCount();
  ASSERT_EQ(blocks, 19);
  EXPECT_EQ(w.blockSlider->maximum(), blocks - 1);
  EXPECT_EQ(w.chosenBlock(), blocks - 1);

  QSignalSpy chosen(&w, &ToolpathWindow::blockChosen);
  w.blockSlider->setValue(0);
  // Step to the end with the step button; before the M30 each block shows its own line and the
  // time the estimate gives for the program up to it.
  for (std::int64_t k = 0; k < blocks - 2; ++k) {
    const int line = static_cast<int>(k) + 1;
    const QString info = w.blockInfo->text();
    EXPECT_TRUE(info.contains(QStringLiteral("行 %1").arg(line))) << info.toStdString();
    EXPECT_TRUE(info.contains(QString::fromLatin1(kPocket.split('\n')[line - 1].trimmed()))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("加工時間 %1 分").arg(estimateUpTo(kPocket, line)))) << info.toStdString();
    w.nextButton->click();
  }
  EXPECT_EQ(w.chosenBlock(), blocks - 2);  // the M30
  EXPECT_EQ(chosen.count(), blocks - 1);
  EXPECT_EQ(chosen.last().at(0).toLongLong(), blocks - 2);

  // Block 10 (G01 X0, line 11) leaves the tool at X0 Y40 Z-1 with F300, S none, T1.
  w.chooseBlock(10);
  const QString info = w.blockInfo->text();
  EXPECT_TRUE(info.contains(QStringLiteral("位置  X 0.000  Y 40.000  Z -1.000"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QStringLiteral("F 300   S —   T 1"))) << info.toStdString();
  // The rest of the path is drawn faint: the second tool's cut only in its faint colour.
  ASSERT_TRUE(newPicture(w));
  const std::uint32_t second = toolpath::toolColour(2);
  EXPECT_EQ(pixelsOf(w, second, 80), 0);
  const QColor c = QColor::fromRgb(static_cast<QRgb>(second));
  EXPECT_GT(pixelsOf(w, qRgb((c.red() + 510) / 3, (c.green() + 510) / 3, (c.blue() + 510) / 3), 40), 20);
  w.chooseBlock(blocks - 1);
  ASSERT_TRUE(newPicture(w));
  EXPECT_GT(pixelsOf(w, second, 80), 20);
}

TEST_F(ToolpathWindowTest, RapidsHideViewsChangeTheWheelZoomsAboutThePointerAndTwoClicksMeasure) {
  ToolpathWindow& w = open(kPocket);
  const int rapids = pixelsWhere(w, rapidRed);
  const int cuts = pixelsWhere(w, firstToolGreen);
  EXPECT_GT(rapids, 20);
  EXPECT_GT(cuts, 200);
  w.rapidsBox->setChecked(false);
  ASSERT_TRUE(newPicture(w));
  EXPECT_EQ(pixelsWhere(w, rapidRed), 0);
  EXPECT_NEAR(pixelsWhere(w, firstToolGreen), cuts, cuts / 10);
  w.rapidsBox->setChecked(true);

  // Each view gets its picture; seen from the front the pocket is a few lines at two heights.
  for (const View view : {View::Front, View::Side, View::Iso, View::Top}) {
    w.setView(view);
    EXPECT_EQ(w.canvas->view(), view);
    ASSERT_TRUE(newPicture(w));
    EXPECT_GT(pixelsWhere(w, firstToolGreen), 10);
  }

  // The wheel zooms about the pointer: the point of the part under it stays under it.
  const toolpath::Frame before = w.canvas->frame();
  const QPointF pointer(200, 150);
  const toolpath::ViewPoint under = before.toView(pointer);
  QWheelEvent wheel(pointer, w.canvas->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(w.canvas, &wheel);
  const toolpath::Frame after = w.canvas->frame();
  EXPECT_NEAR(after.scale, before.scale * 1.25, 1e-9);
  EXPECT_NEAR(after.toPixel(under).x(), pointer.x(), 1e-6);
  EXPECT_NEAR(after.toPixel(under).y(), pointer.y(), 1e-6);
  ASSERT_TRUE(newPicture(w));
  w.fitButton->click();
  EXPECT_NEAR(w.canvas->frame().scale, before.scale, 1e-9);

  // Two clicks near two corners of the pocket: their distance, the corners taken exactly.
  const QPoint a = w.canvas->frame().toPixel(40.3, 0.2).toPoint();
  const QPoint b = w.canvas->frame().toPixel(49.8, 30.3).toPoint();
  QTest::mouseClick(w.canvas, Qt::LeftButton, Qt::NoModifier, a);
  QTest::mouseClick(w.canvas, Qt::LeftButton, Qt::NoModifier, b);
  EXPECT_TRUE(w.measureLabel->text().contains(QStringLiteral("距離 31.623 mm (ΔX 10.000  ΔY 30.000  ΔZ 0.000)")))
      << w.measureLabel->text().toStdString();

  // Dragging pans; the picture follows the window's size once fitted again.
  QTest::mousePress(w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
  QTest::mouseMove(w.canvas, QPoint(330, 310));
  QTest::mouseMove(w.canvas, QPoint(360, 320));
  QTest::mouseRelease(w.canvas, Qt::LeftButton, Qt::NoModifier, QPoint(360, 320));
  EXPECT_NEAR(w.canvas->frame().originX - before.originX, 60, 1e-6);
  w.fitButton->click();
  const double fitted = w.canvas->frame().scale;
  w.resize(700, 500);
  QCoreApplication::processEvents();
  EXPECT_LT(w.canvas->frame().scale, fitted);
  EXPECT_TRUE(newPicture(w));
}

TEST_F(ToolpathWindowTest, ALatheProgramIsSeenAlongZWithXAsADiameter) {
  MachineModel lathe;
  lathe.kind = MachineModel::Kind::Lathe;
  ToolpathWindow& w = open("G00 X40. Z2.\r\nG01 Z-20. F0.2\r\nX60. Z-30.\r\nG00 X100. Z50.\r\nM30\r\n", lathe);
  EXPECT_EQ(w.viewBox->count(), 1);
  EXPECT_EQ(w.canvas->view(), View::Lathe);
  w.chooseBlock(2);
  EXPECT_TRUE(w.blockInfo->text().contains(QStringLiteral("位置  X(直径) 60.000  Z -30.000"))) << w.blockInfo->text().toStdString();
  EXPECT_TRUE(w.extentsLabel->text().contains(QStringLiteral("切削 X(直径) 40.000 〜 60.000  Z -30.000 〜 2.000")))
      << w.extentsLabel->text().toStdString();
}

TEST_F(ToolpathWindowTest, AFileThatCannotBeReadIsSaidSo) {
  auto* w = new ToolpathWindow(dir.filePath(QStringLiteral("GONE.NC")), MachineModel{});
  QSignalSpy loaded(w, &ToolpathWindow::loaded);
  ASSERT_TRUE(loaded.wait(20000));
  EXPECT_FALSE(loaded.first().at(0).toBool());
  EXPECT_TRUE(w->statusLabel->text().startsWith(QStringLiteral("GONE.NC: "))) << w->statusLabel->text().toStdString();
  EXPECT_FALSE(w->blockSlider->isEnabled());
  delete w;
}

class ToolpathFromMainWindow : public MainWindowTest {};

TEST_F(ToolpathFromMainWindow, TheListsMenuAndTheResultWindowOpenItForTheirFile) {
  const QString part = writeTestFile(dir.path(), QStringLiteral("PART.NC"), kPocket);
  MainWindow& w = start({part});
  QList<ToolpathWindow*> opened;
  QObject::connect(&w, &MainWindow::toolpathOpened, [&](ToolpathWindow* window) { opened << window; });
  w.List1->item(0)->setSelected(true);
  EXPECT_EQ(w.flist_toolpath->text(), QStringLiteral("ツールパス表示"));
  w.flist_toolpath->trigger();
  ASSERT_EQ(opened.count(), 1);
  ToolpathWindow* fromList = opened.first();
  ASSERT_NE(fromList, nullptr);
  EXPECT_EQ(fromList->filePath(), part);
  fromList->close();

  w.flist_time->trigger();
  Form5* results = w.findChild<Form5*>();
  ASSERT_NE(results, nullptr);
  EXPECT_FALSE(results->cmdtoolpath->isEnabled());
  results->ListView1->setCurrentItem(results->ListView1->topLevelItem(0));
  ASSERT_TRUE(results->cmdtoolpath->isEnabled());
  results->cmdtoolpath->click();
  ASSERT_EQ(opened.count(), 2);
  ToolpathWindow* fromResults = opened.last();
  EXPECT_EQ(fromResults->filePath(), part);
  EXPECT_TRUE(waitUntil([&] { return fromResults->toolpath() != nullptr; }));
  fromResults->close();
}

TEST_F(ToolpathFromMainWindow, TheViewsBlockOpensTheRestartDialogThere) {
  const QString part = writeTestFile(dir.path(), QStringLiteral("PART.NC"), kPocket);
  MainWindow& w = start({part});
  ToolpathWindow* view = nullptr;
  QObject::connect(&w, &MainWindow::toolpathOpened, [&](ToolpathWindow* window) { view = window; });
  w.List1->item(0)->setSelected(true);
  w.flist_toolpath->trigger();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(waitUntil([&] { return view->toolpath() != nullptr; }));
  // Block 14 of the file is line 15: "G01 Z-2. F80", after the second tool change.
  view->chooseBlock(14);
  std::int64_t shown = -1;
  QByteArray header;
  w.setRestartDialogPresenter([&](frmRestart& dialog) {
    if (dialog.restart()) {
      shown = dialog.restart()->block.ordinal;
      header = dialog.restart()->header;
    }
    return int(QDialog::Rejected);
  });
  ASSERT_TRUE(view->restartButton->isEnabled());
  view->restartButton->click();
  EXPECT_EQ(shown, 14);
  EXPECT_TRUE(header.contains("T2 M06")) << header.toStdString();
  view->close();
}

}  // namespace
}  // namespace korvane::test
