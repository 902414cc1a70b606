// The Windows platform layer where it can be tried without hardware: opening ports that are not
// there or are not serial ports, and the completion mail without a mail program. The line itself
// is tried end to end by scripts/windows.sh, through Wine's COM1 on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "platform/desktop/mailer.h"
#include "platform/serial/serial_port.h"
#include "platform/serial/serial_port_factory.h"
#include "platform/desktop/win32_mapi_mailer.h"
#include "platform/serial/win32_serial_port.h"
#include "support/test_files.h"

namespace korvane {
namespace {

TEST(Win32SerialPortTest, PortNamesReachBeyondCom9) {
  EXPECT_EQ(Win32SerialPort::comDeviceName(1), QStringLiteral("\\\\.\\COM1"));
  EXPECT_EQ(Win32SerialPort::comDeviceName(10), QStringLiteral("\\\\.\\COM10"));
  EXPECT_TRUE(Win32SerialPort::comDeviceName(0).isEmpty());
  EXPECT_EQ(portDevicePath(3, QString()), QStringLiteral("COM3"));
}

TEST(Win32SerialPortTest, APortThatIsNotThereFailsWithItsNumber) {
  Win32SerialPort port([](int) { return QStringLiteral("\\\\.\\COM250"); });
  port.setCommPort(10);
  port.setSettings(QStringLiteral("9600,N,8,2"));
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(error.number, kErrInvalidPort) << error.description.toStdString();
  EXPECT_TRUE(error.description.contains(QStringLiteral("COM250"))) << error.description.toStdString();
}

TEST(Win32SerialPortTest, AnOrdinaryFileIsNotASerialPort) {
  QTemporaryDir dir;
  const QString path = test::writeTestFile(dir.path(), QStringLiteral("not-a-port"), "x");
  Win32SerialPort port([&](int) { return QDir::toNativeSeparators(path); });
  port.setSettings(QStringLiteral("9600,N,8,2"));
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(error.number, kErrInvalidPort) << error.description.toStdString();
  EXPECT_TRUE(error.description.contains(QStringLiteral("シリアルポートではありません"))) << error.description.toStdString();
}

TEST(Win32SerialPortTest, BadLineSettingsFailBeforeThePortIsTouched) {
  bool asked = false;
  Win32SerialPort port([&](int) {
    asked = true;
    return QStringLiteral("\\\\.\\COM250");
  });
  port.setSettings(QStringLiteral("9600,X,8,2"));
  PortError error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error.number, kErrBadSettings) << error.description.toStdString();
  EXPECT_TRUE(asked);  // the name is resolved first, so the message can name the port
}

TEST(Win32SerialPortTest, AClosedPortTakesNoOutputAndItsWaitsSleep) {
  Win32SerialPort port;
  EXPECT_FALSE(port.output(0x25));
  EXPECT_EQ(port.outBufferCount(), 0);
  EXPECT_TRUE(port.input().isEmpty());
  EXPECT_FALSE(port.dsrHolding());
  port.waitForInput(1);
  port.waitForOutput(1);
  EXPECT_FALSE(port.failure());
}

TEST(MapiMailerTest, WithoutAMailProgramTheOperatorIsToldSo) {
  bool looked = false;
  MapiMailer mailer([&] {
    looked = true;
    return QString();
  });
  const std::optional<MailError> error =
      mailer.send({QStringLiteral("nc@example.com"), QStringLiteral("データ送信終了"), QStringLiteral("a.nc\r\n")});
  ASSERT_TRUE(error);
  EXPECT_TRUE(looked);
  EXPECT_EQ(error->number, kMailErrNoClient);
  EXPECT_TRUE(error->description.contains(QStringLiteral("Simple MAPI"))) << error->description.toStdString();
}

TEST(MapiMailerTest, AnAddressThatIsNotOneAddressIsRefusedFirst) {
  bool looked = false;
  MapiMailer mailer([&] {
    looked = true;
    return QStringLiteral("Some Mail Program");
  });
  const std::optional<MailError> error =
      mailer.send({QStringLiteral("a@example.com\r\nBcc: b@example.com"), QStringLiteral("s"), QStringLiteral("b")});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number, kMailErrInvalidAddress);
  EXPECT_FALSE(looked);
}

TEST(MapiMailerTest, MapiResultsReadAsWords) {
  EXPECT_TRUE(MapiMailer::mapiErrorText(14).contains(QStringLiteral("宛先"))); // unknown recipient
  EXPECT_TRUE(MapiMailer::mapiErrorText(3).contains(QStringLiteral("ログオン")));
  EXPECT_FALSE(MapiMailer::mapiErrorText(999).isEmpty());
}

}  // namespace
}  // namespace korvane
