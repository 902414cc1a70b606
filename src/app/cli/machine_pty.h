#pragma once
// The simulated machine's end of a pseudo-terminal: korvane opens the other end as its serial
// port, through the link korvane-ports/com<n> beside its settings file.

#include <QByteArray>
#include <QString>

namespace korvane::cli {

class MachinePty {
 public:
  MachinePty() = default;
  ~MachinePty();
  MachinePty(const MachinePty&) = delete;
  MachinePty& operator=(const MachinePty&) = delete;

  // Creates the terminal pair, raw, at the given line rate where the system knows it.
  bool open(int baud, QString* error);
  const QString& slavePath() const { return slavePath_; }

  // Points korvane-ports/com<number> beside iniPath at the terminal (replacing a link that is
  // there); the link is removed again by the destructor if it still points here.
  bool link(int number, const QString& iniPath, QString* error);
  const QString& linkPath() const { return linkPath_; }

  // Every byte that is waiting, without blocking.
  QByteArray readAvailable();
  // Writes what it can without blocking; the number of bytes written.
  int write(const QByteArray& bytes);
  // Bytes korvane has not yet read from its end.
  int unreadBySlave() const;

  // Waits until input is waiting (or output is possible, when wantWrite), timeoutMs passes
  // (negative: no limit) or SIGINT/SIGTERM arrives. Fractions of a millisecond count.
  void wait(double timeoutMs, bool wantWrite);

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so that korvane closing its port does not hang the line up
  QString slavePath_;
  QString linkPath_;
};

// Blocks SIGINT and SIGTERM except inside MachinePty::wait, where they end the wait.
void catchStopSignals();
bool stopRequested();

}  // namespace korvane::cli
