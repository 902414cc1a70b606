#pragma once
// A PosixSerialPort whose every port number is the slave of a fresh pseudo-terminal pair.

#include <gtest/gtest.h>
#include <termios.h>

#include <QByteArray>
#include <chrono>
#include <memory>

#include "platform/serial/posix_serial_port.h"
#include "support/pty_pair.h"

namespace korvane::test {

// Output is not paced to the line rate here: these tests look at what the port does with bytes,
// and at 110 baud pacing would make them take minutes. Pacing has a test of its own.
inline std::unique_ptr<PosixSerialPort> portOnDevice(const QString& device) {
  auto port = std::make_unique<PosixSerialPort>([device](int) { return device; });
  port->setPacePseudoTerminals(false);
  return port;
}

// Collects the port's input until `expected` bytes came or timeoutMs passed.
inline QByteArray readPort(SerialPort& port, int expected, int timeoutMs = 1000) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
  QByteArray got = port.input();
  while (got.size() < expected && steady_clock::now() < deadline) {
    port.waitForInput(static_cast<int>(duration_cast<milliseconds>(deadline - steady_clock::now()).count()));
    got += port.input();
  }
  return got;
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    port = portOnDevice(pty.slavePath());
  }

  void openWith(const QString& settings, int handshake = kHandshakeNone) {
    port->setSettings(settings);
    port->setHandshaking(handshake);
    PortError error;
    ASSERT_TRUE(port->open(&error)) << error.description.toStdString();
  }

  // The line settings as the driver holds them (the master reports its slave's).
  termios lineTermios() const {
    termios t{};
    EXPECT_EQ(tcgetattr(pty.masterFd(), &t), 0);
    return t;
  }

  PtyPair pty;
  std::unique_ptr<PosixSerialPort> port;
};

}  // namespace korvane::test
