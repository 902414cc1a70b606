#include "platform/desktop/power_off.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace korvane {
namespace {

// Never run with its default command here: the request goes to a harmless program that leaves
// its arguments in a file.
TEST(SystemdPowerOffTest, StartsTheConfiguredCommandAsAnIndependentProcess) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = dir.filePath(QStringLiteral("args"));
  SystemdPowerOff powerOff(QStringLiteral("/bin/sh"),
                           {QStringLiteral("-c"), QStringLiteral("printf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0\""),
                            out, QStringLiteral("poweroff"), QStringLiteral("$(echo hi)")});
  powerOff.requestPowerOff();

  QElapsedTimer timer;
  timer.start();
  while (!QFile::exists(out) && timer.elapsed() < 10000) QThread::msleep(10);
  QFile file(out);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the command did not run";
  EXPECT_EQ(file.readAll(), QByteArray("poweroff\n$(echo hi)\n"));
}

TEST(SystemdPowerOffTest, DefaultRequestIsSystemctlPoweroff) {
  const SystemdPowerOff powerOff;
  EXPECT_EQ(powerOff.program(), QStringLiteral("systemctl"));
  EXPECT_EQ(powerOff.arguments(), QStringList{QStringLiteral("poweroff")});
}

}  // namespace
}  // namespace korvane
