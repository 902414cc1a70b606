#pragma once
// The simulated machine's end of a pseudo-terminal: korvane opens the other end as its serial
// port, through the link korvane-ports/com<n> beside its settings file.

#include <QByteArray>
#include <QString>
#include <signal.h>

#include "app/cli/machine_line.h"

namespace korvane::cli {

class MachinePty final : public MachineLine {
 public:
  MachinePty() = default;
  ~MachinePty() override;
  MachinePty(const MachinePty&) = delete;
  MachinePty& operator=(const MachinePty&) = delete;

  // Creates the terminal pair, raw, at the given line rate where the system knows it.
  bool open(int baud, QString* error);
  const QString& slavePath() const { return slavePath_; }

  // Points korvane-ports/com<number> beside iniPath at the terminal (replacing a link that is
  // there); the link is removed again by the destructor if it still points here.
  bool link(int number, const QString& iniPath, QString* error);
  const QString& linkPath() const { return linkPath_; }

  QByteArray readAvailable() override;
  int write(const QByteArray& bytes) override;
  int unreadBySlave() const override;
  void wait(double timeoutMs, bool wantWrite) override;

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so that korvane closing its port does not hang the line up
  QString slavePath_;
  QString linkPath_;
};

// Blocks SIGINT and SIGTERM except inside MachinePty::wait, where they end the wait.
void catchStopSignals();
bool stopRequested();
// The signal mask for waits: SIGINT and SIGTERM let through, so they end the wait.
const sigset_t* stopWaitMask();

}  // namespace korvane::cli
