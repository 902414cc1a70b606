#pragma once
// A transfer's view on a terminal: one progress line on stderr that rewrites itself, and the
// messages a window would show as lines of their own.

#include <QElapsedTimer>

#include "transfer/transfer_view.h"

namespace korvane::cli {

class TerminalView final : public TransferView {
 public:
  void enterTransfer(TransferKind) override {}
  void leaveTransfer(TransferKind) override { finishLine(); }
  void setWindowCaption(const QString&) override {}
  void setStatusText(const QString& text) override;
  void setElapsedText(const QString& text) override;
  void setProgressRange(qint64 maximum) override;
  void setProgressValue(qint64 value) override;
  void setRowSelected(int, bool) override {}
  void clearRowSelection() override {}
  void setListSending(bool) override {}
  void showMessage(const QString& text, MessageIcon icon) override;
  // Asks on the terminal; without one the answer is No.
  bool askYesNo(const QString& text, MessageIcon icon) override;

  void setFileLabel(const QString& label) { file_ = label; }

 private:
  void redraw(bool force = false);
  void finishLine();

  QString status_;
  QString elapsed_;
  QString file_;
  qint64 maximum_ = 0;
  qint64 value_ = 0;
  bool lineOpen_ = false;
  QElapsedTimer sinceDraw_;
};

// Ctrl-C (SIGINT) and SIGTERM set this flag instead of ending the process, so the closing
// sequence still runs. Blocking waits return early on the signal.
void installAbortSignals(std::atomic<bool>* flag);
// Makes the terminal show the UTF-8 the program writes (the Windows console's code page is the
// system's ANSI one otherwise); nothing to do on POSIX.
void prepareConsole();
// Standard output takes bytes as they are (Windows would turn each LF into CR LF otherwise), for
// a command that writes a program there.
void prepareBinaryOutput();

}  // namespace korvane::cli
