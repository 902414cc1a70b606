#pragma once
// What a running transfer shows and asks. The main window implements it with its widgets, the
// command line with a progress line on the terminal, the tests with a recorder.

#include <QString>

namespace korvane {

enum class TransferKind { Send, Receive };
enum class MessageIcon { None, Information, Warning, Critical, Question };

class TransferView {
 public:
  virtual ~TransferView() = default;

  // Switches the window to a running transfer: the kind's own button reads "中断", the other
  // commands and the machine box are disabled (a send also disables the list), and back.
  virtual void enterTransfer(TransferKind kind) = 0;
  virtual void leaveTransfer(TransferKind kind) = 0;

  virtual void setWindowCaption(const QString& text) = 0;
  virtual void setStatusText(const QString& text) = 0;   // status panel 1: the running line
  virtual void setElapsedText(const QString& text) = 0;  // status panel 2: hh : mm : ss
  virtual void setProgressRange(qint64 maximum) = 0;
  virtual void setProgressValue(qint64 value) = 0;

  // List rows during a send: the row being sent is the one selected row, on a light-cyan list.
  virtual void setRowSelected(int row, bool selected) = 0;
  virtual void clearRowSelection() = 0;
  virtual void setListSending(bool sending) = 0;

  // Modal messages; the text is shown as it is.
  virtual void showMessage(const QString& text, MessageIcon icon) = 0;
  virtual bool askYesNo(const QString& text, MessageIcon icon) = 0;
};

// A transfer nobody watches (the service, a fuzz run): nothing is shown, messages are dropped,
// and whatever would be asked is answered No.
class UnwatchedTransferView : public TransferView {
 public:
  void enterTransfer(TransferKind) override {}
  void leaveTransfer(TransferKind) override {}
  void setWindowCaption(const QString&) override {}
  void setStatusText(const QString&) override {}
  void setElapsedText(const QString&) override {}
  void setProgressRange(qint64) override {}
  void setProgressValue(qint64) override {}
  void setRowSelected(int, bool) override {}
  void clearRowSelection() override {}
  void setListSending(bool) override {}
  void showMessage(const QString&, MessageIcon) override {}
  bool askYesNo(const QString&, MessageIcon) override { return false; }
};

}  // namespace korvane
