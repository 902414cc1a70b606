#pragma once
// A serial port that exists only in a set the test chooses: the start-up probe and the settings
// dialog's port check open it and nothing else.

#include <QList>
#include <QSet>
#include <memory>

#include "platform/serial/serial_port.h"

namespace korvane::test {

// Ports that exist are those in present; busy ones exist but refuse to open.
struct ProbeLog {
  QSet<int> present;
  QSet<int> busy;
  QList<int> attempted;  // every port an open was tried on
  QList<int> opened;
  int openNow = 0;
  bool dtr = false;
};

class ProbePort final : public SerialPort {
 public:
  explicit ProbePort(std::shared_ptr<ProbeLog> log) : log_(std::move(log)) {}
  void setCommPort(int number) override { port_ = number; }
  int commPort() const override { return port_; }
  void setSettings(const QString&) override {}
  void setHandshaking(int) override {}
  void setRtsEnable(bool) override {}
  void setDtrEnable(bool on) override { log_->dtr = on; }
  void setNullDiscard(bool) override {}
  void setHighBitFlowControl(bool) override {}
  void setReceiveFlowBytes(bool) override {}
  bool open(PortError* error) override {
    log_->attempted << port_;
    if (!log_->present.contains(port_)) {
      *error = {kErrInvalidPort, QStringLiteral("ポート %1 がありません").arg(port_)};
      return false;
    }
    if (log_->busy.contains(port_)) {
      *error = {kErrPortBusy, QStringLiteral("busy")};
      return false;
    }
    log_->opened << port_;
    ++log_->openNow;
    open_ = true;
    return true;
  }
  void close() override {
    if (open_) --log_->openNow;
    open_ = false;
  }
  bool isOpen() const override { return open_; }
  bool output(quint8) override { return false; }
  int outBufferCount() override { return 0; }
  int inBufferCount() override { return 0; }
  QByteArray input() override { return {}; }
  bool dsrHolding() override { return true; }
  bool cdHolding() override { return true; }
  void waitForInput(int) override {}
  void waitForOutput(int) override {}
  std::optional<PortError> failure() const override { return std::nullopt; }

 private:
  std::shared_ptr<ProbeLog> log_;
  int port_ = 1;
  bool open_ = false;
};

}  // namespace korvane::test
