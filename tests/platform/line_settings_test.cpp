// The line settings text speed,parity,data,stop as profiles store it.
#include <gtest/gtest.h>

#include "platform/serial/line_settings.h"

namespace korvane {
namespace {

TEST(LineSettingsText, ReadsEveryField) {
  const auto line = parseLineSettings(QStringLiteral("4800,E,7,2"));
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->rate, 4800);
  EXPECT_EQ(line->parity, 'E');
  EXPECT_EQ(line->dataBits, 7);
  EXPECT_EQ(line->stopBits, 2);
  EXPECT_EQ(line->frameBits(), 11);
}

TEST(LineSettingsText, AcceptsBlanksAndLowerCaseParity) {
  const auto line = parseLineSettings(QStringLiteral(" 19200 , o , 8 , 1 "));
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->rate, 19200);
  EXPECT_EQ(line->parity, 'O');
  EXPECT_EQ(line->frameBits(), 11);
  EXPECT_EQ(parseLineSettings(QStringLiteral("9600,n,8,1"))->frameBits(), 10);
}

TEST(LineSettingsText, AcceptsEverySpeedOfTheSettingsDialog) {
  for (const char* rate : {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400",
                           "56000", "57600", "115200", "128000", "256000"}) {
    const auto line = parseLineSettings(QString::fromLatin1(rate) + QStringLiteral(",N,8,2"));
    ASSERT_TRUE(line.has_value()) << rate;
    EXPECT_EQ(line->rate, QByteArray(rate).toInt());
  }
}

TEST(LineSettingsText, RefusesWhatNoPortCanTakeAndSaysWhy) {
  for (const char* text : {"", "9600", "9600,N,8", "9600,N,8,2,0", "9600,,8,2", "abc,N,8,2", "9601,N,8,2", "0,N,8,2",
                           "-9600,N,8,2", "9600,M,8,2", "9600,NE,8,2", "9600,N,6,2", "9600,N,9,2", "9600,N,x,2",
                           "9600,N,8,0", "9600,N,8,1.5", "9600,N,8,3"}) {
    QString problem;
    EXPECT_FALSE(parseLineSettings(QString::fromLatin1(text), &problem).has_value()) << text;
    EXPECT_FALSE(problem.isEmpty()) << text;
  }
}

}  // namespace
}  // namespace korvane
