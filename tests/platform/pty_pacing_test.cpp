// Towards a pseudo-terminal the port behaves like a UART: bytes leave at the line rate, in
// slices, with never more ahead of the line than a reader allows after its DC3.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "platform/serial/posix_serial_port.h"
#include "support/pty_pair.h"

using namespace korvane;
using namespace korvane::test;

TEST(PtyPacing, OutputLeavesAtTheLineRateInSlices) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  const QString device = pty.slavePath();
  PosixSerialPort port([device](int) { return device; });
  port.setSettings(QStringLiteral("9600,N,8,1"));  // 10 bits: about 1 ms a character
  PortError error;
  ASSERT_TRUE(port.open(&error)) << error.description.toStdString();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(port.output(static_cast<quint8>('A' + i % 26)));
  // Only what may be under way is on the line at once; the rest waits its turn.
  EXPECT_LE(pty.read(50).size(), kPacedAheadChars);
  EXPECT_GT(port.outBufferCount(), 60);
  QElapsedTimer timer;
  timer.start();
  while (port.outBufferCount() > 0 && timer.elapsed() < 2000) port.waitForOutput(20);
  EXPECT_EQ(port.outBufferCount(), 0);
  EXPECT_GE(timer.elapsed(), 50) << "a hundred characters at 9600 baud take about 100 ms";
  port.close();
}
