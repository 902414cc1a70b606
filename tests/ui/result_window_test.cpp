// The machining result window on its own: columns, layout rules and the ways it closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ui/japanese_fonts.h"
#include "ui/result_window.h"
#include "ui/twips.h"

namespace korvane::test {
namespace {

// One pixel is the finest step a twip size can land on.
int onePixelTwips(const QWidget& w) { return pxToTwips(1, w.logicalDpiX()) + 1; }

class ResultWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    installJapaneseFontSubstitutes();
  }
  void resizeOuter(int widthTwips, int heightTwips) {
    const QSize frame = form.frameGeometry().size() - form.size();
    form.resize(twipsToPx(widthTwips, form.logicalDpiX()) - frame.width(),
                twipsToPx(heightTwips, form.logicalDpiY()) - frame.height());
    QApplication::processEvents();
  }
  int twipsX(int px) const { return pxToTwips(px, form.logicalDpiX()); }
  int twipsY(int px) const { return pxToTwips(px, form.logicalDpiY()); }

  Form5 form;
};

TEST_F(ResultWindow, HasCaptionColumnsWidthsFontAndButton) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("加工長、時間"));
  EXPECT_TRUE(form.isWindow());
  EXPECT_FALSE(form.isModal());
  ASSERT_EQ(form.ListView1->columnCount(), 5);
  const QStringList expected = {"ﾌｧｲﾙ名", "ﾌﾟﾛｸﾞﾗﾑNo", "加工時間(分)", "加工長(mm)", "ﾃｰﾌﾟ長(m)"};
  const QList<int> widths = {2822, 1940, 2293, 2117, 1940};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(form.ListView1->headerItem()->text(i), expected[i]) << i;
    EXPECT_NEAR(twipsX(form.ListView1->columnWidth(i)), widths[i], onePixelTwips(form)) << i;
  }
  EXPECT_FALSE(form.ListView1->rootIsDecorated());
  EXPECT_EQ(form.ListView1->font().family(), kPGothicFamily);
  EXPECT_EQ(form.Command1->text(), QStringLiteral("O  K"));
  EXPECT_EQ(form.rowCount(), 0);
}

TEST_F(ResultWindow, RowsAreAppendedBelowThoseShownInColumnOrder) {
  form.show();
  form.appendRow({"A.NC", "1000", "0.50", "100.00", "0.10"});
  form.appendRow({"", "2000", "1.00", "2.00", "3.00"});
  ASSERT_EQ(form.rowCount(), 2);
  EXPECT_EQ(form.rowTexts(0), QStringList({"A.NC", "1000", "0.50", "100.00", "0.10"}));
  EXPECT_EQ(form.rowTexts(1), QStringList({"", "2000", "1.00", "2.00", "3.00"}));
  EXPECT_TRUE(form.isVisible());
}

TEST_F(ResultWindow, TooSmallASizeSnapsToTheMinimumAndPlacesTheControls) {
  form.show();
  resizeOuter(1500, 900);
  const QSize frame = form.frameGeometry().size() - form.size();
  const int tolerance = onePixelTwips(form);
  EXPECT_NEAR(twipsX(form.width() + frame.width()), 2000, tolerance);
  EXPECT_NEAR(twipsY(form.height() + frame.height()), 1100, tolerance);
  EXPECT_NEAR(twipsX(form.ListView1->width()), 1880, tolerance);
  EXPECT_NEAR(twipsY(form.ListView1->height()), 20, tolerance);
  EXPECT_NEAR(twipsX(form.Command1->x()), 270, tolerance);
  EXPECT_NEAR(twipsY(form.Command1->y()), 230, tolerance);
}

TEST_F(ResultWindow, LargerSizesKeepTheListAndButtonTiedToTheEdges) {
  form.show();
  resizeOuter(9000, 6000);
  const QSize frame = form.frameGeometry().size() - form.size();
  const int outerW = twipsX(form.width() + frame.width());
  const int outerH = twipsY(form.height() + frame.height());
  const int tolerance = onePixelTwips(form);
  EXPECT_NEAR(outerW, 9000, tolerance);
  EXPECT_NEAR(twipsX(form.ListView1->width()), outerW - 120, tolerance);
  EXPECT_NEAR(twipsY(form.ListView1->height()), outerH - 1080, tolerance);
  EXPECT_NEAR(twipsX(form.Command1->x()), outerW / 2 - 730, tolerance);
  EXPECT_NEAR(twipsY(form.Command1->y()), outerH - 870, tolerance);
}

TEST_F(ResultWindow, OkButtonClosesAndDropsTheRows) {
  form.show();
  form.appendRow({"A.NC", "", "0.00", "0.00", "0.01"});
  form.Command1->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.rowCount(), 0);
}

TEST_F(ResultWindow, EscapeInTheListClosesButOtherKeysDoNot) {
  form.show();
  form.appendRow({"A.NC", "", "0.00", "0.00", "0.01"});
  QTest::keyClick(form.ListView1, Qt::Key_A);
  QTest::keyClick(form.ListView1, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.rowCount(), 1);
  QTest::keyClick(form.ListView1, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.rowCount(), 0);
}

TEST_F(ResultWindow, EscapeOnTheButtonClosesToo) {
  form.show();
  QTest::keyClick(form.Command1, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace korvane::test
