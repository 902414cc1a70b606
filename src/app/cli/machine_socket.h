#pragma once
// The simulated machine behind a serial device server: it listens on a TCP address and serves
// korvane's connections one at a time, raw (the line's bytes as they are) or with RFC 2217
// (telnet COM port control, whose settings it accepts). Like a device server, it drops what it
// would send while nobody is connected and takes the next connection when one ends.

#include <QByteArray>
#include <QString>
#include <memory>

#include "app/cli/machine_line.h"

namespace korvane {
class Rfc2217Server;
}

namespace korvane::cli {

class MachineSocket final : public MachineLine {
 public:
  explicit MachineSocket(bool rfc2217);
  ~MachineSocket() override;
  MachineSocket(const MachineSocket&) = delete;
  MachineSocket& operator=(const MachineSocket&) = delete;

  // HOST:PORT, [IPv6]:PORT; port 0 takes a free one. address() then gives what korvane puts in
  // korvane-ports/com<n>.
  bool listen(const QString& hostPort, QString* error);
  QString address() const;
  // Writes the address into korvane-ports/com<number> beside iniPath, making the machine "Com
  // number"; the file is removed again by the destructor if it still holds this address.
  bool link(int number, const QString& iniPath, QString* error);
  const QString& linkPath() const { return linkPath_; }

  QByteArray readAvailable() override;
  int write(const QByteArray& bytes) override;
  int unreadBySlave() const override;
  void wait(double timeoutMs, bool wantWrite) override;

 private:
  void accept();
  void drop();
  void sendRaw(const QByteArray& bytes);

  bool rfc2217_;
  int listener_ = -1;
  int client_ = -1;
  QString host_;
  quint16 port_ = 0;
  std::unique_ptr<Rfc2217Server> telnet_;
  QByteArray pendingControl_;
  QString linkPath_;  // telnet replies the socket did not take yet
};

}  // namespace korvane::cli
