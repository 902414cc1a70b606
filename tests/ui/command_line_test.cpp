#include <gtest/gtest.h>

#include "ui/command_line.h"

namespace korvane {
namespace {

using Rows = QStringList;

TEST(RowsFromCommandLine, QuotedPathsKeepTheirBlanksAndOrder) {
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"("C:\nc data\a b.nc" "C:\nc data\c d.nc")")),
            (Rows{QStringLiteral(R"(C:\nc data\a b.nc)"), QStringLiteral(R"(C:\nc data\c d.nc)")}));
}

TEST(RowsFromCommandLine, UnquotedTextIsOneRowBlankIncluded) {
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"(C:\a.nc C:\b.nc)")), (Rows{QStringLiteral(R"(C:\a.nc C:\b.nc)")}));
}

TEST(RowsFromCommandLine, NothingGivesNoRows) {
  EXPECT_TRUE(rowsFromCommandLine(QString()).isEmpty());
  EXPECT_TRUE(rowsFromCommandLine(QStringLiteral("   ")).isEmpty());
  EXPECT_TRUE(rowsFromCommandLine(QStringLiteral(R"("" "")")).isEmpty());
}

TEST(RowsFromCommandLine, ForwardSlashesSplitAName) {
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"("C:/nc/a.nc")")),
            (Rows{QStringLiteral("C:"), QStringLiteral("nc"), QStringLiteral("a.nc")}));
  // Empty parts between doubled or trailing slashes give no row.
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral("a//b/")), (Rows{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(RowsFromCommandLine, UnquotedWordsAroundQuotedPartsAreOneRowEach) {
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"(x.nc y.nc "p q.nc" z.nc)")),
            (Rows{QStringLiteral("x.nc"), QStringLiteral("y.nc"), QStringLiteral("p q.nc"), QStringLiteral("z.nc")}));
}

TEST(RowsFromCommandLine, OnlyBlanksAtTheEdgesSplitASegment) {
  // A quoted part that starts with a blank loses it: the segment is split into words.
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"(" a b.nc")")), (Rows{QStringLiteral("a"), QStringLiteral("b.nc")}));
  // Text glued to a quote has no blank at the edge and stays whole.
  EXPECT_EQ(rowsFromCommandLine(QStringLiteral(R"(a b"c d")")), (Rows{QStringLiteral("a b"), QStringLiteral("c d")}));
}

TEST(RowsFromArguments, EachArgumentIsOneRowAsItStands) {
  EXPECT_EQ(rowsFromArguments({QStringLiteral("/home/op/nc/a b.nc"), QStringLiteral("/home/op/nc/c d.nc")}),
            (Rows{QStringLiteral("/home/op/nc/a b.nc"), QStringLiteral("/home/op/nc/c d.nc")}));
  EXPECT_EQ(rowsFromArguments({QStringLiteral(R"("q".nc)"), QString(), QStringLiteral(" ")}),
            (Rows{QStringLiteral(R"("q".nc)"), QStringLiteral(" ")}));
  EXPECT_TRUE(rowsFromArguments({}).isEmpty());
}

}  // namespace
}  // namespace korvane
