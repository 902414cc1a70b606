// The termios a line settings text turns into. A pseudo-terminal ignores the frame, so the frame
// bits are checked here on the built structure; the pty tests check what the driver does.
#include <gtest/gtest.h>

#include "platform/serial/posix_termios.h"

namespace korvane {
namespace {

termios built(const char* settings, bool* standardRate) {
  termios base{};
  // Start from a cooked terminal with flow control and a 7-bit odd frame, so every bit that
  // must be cleared is set.
  base.c_iflag = ICRNL | IXON | IXOFF | IXANY | ISTRIP | INPCK | PARMRK;
  base.c_oflag = OPOST | ONLCR;
  base.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
  base.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS;
  const auto line = parseLineSettings(QString::fromLatin1(settings));
  EXPECT_TRUE(line.has_value()) << settings;
  return lineTermios(base, line.value_or(LineSettings{}), standardRate);
}

TEST(LineTermios, SevenBitsEvenParityTwoStopBits) {
  bool standard = false;
  const termios t = built("4800,E,7,2", &standard);
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS7));
  EXPECT_TRUE(t.c_cflag & PARENB);
  EXPECT_FALSE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | IGNPAR), tcflag_t(INPCK | PARMRK))
      << "parity checked, a failed character marked, not stripped or dropped";
  EXPECT_TRUE(standard);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
  EXPECT_EQ(cfgetispeed(&t), speed_t(B4800));
}

TEST(LineTermios, EightBitsOddParityOneStopBit) {
  bool standard = false;
  const termios t = built("19200,O,8,1", &standard);
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_TRUE(t.c_cflag & PARENB);
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
}

TEST(LineTermios, NoParityClearsBothParityBits) {
  bool standard = false;
  const termios t = built("9600,N,8,2", &standard);
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD), 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
}

TEST(LineTermios, RawReceiverOnNoFlowControl) {
  bool standard = false;
  const termios t = built("9600,N,8,2", &standard);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP | INPCK | PARMRK), 0u);
  EXPECT_TRUE(t.c_iflag & IGNBRK);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
}

TEST(LineTermios, RateWithoutPosixConstantIsLeftForTheCustomPath) {
  for (const char* settings : {"14400,N,8,2", "28800,N,8,2", "56000,N,8,2", "128000,N,8,2", "256000,N,8,2"}) {
    bool standard = true;
    built(settings, &standard);
    EXPECT_FALSE(standard) << settings;
  }
}

}  // namespace
}  // namespace korvane
