#pragma once
// Takes what a machine punches out over the line and stores it: everything into one chosen file,
// or one file per program, named after its program number, in a chosen folder. Ends at the
// second "%", or when the operator aborts.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "settings/settings_store.h"
#include "transfer/durable_line_file.h"
#include "transfer/line_writer.h"

namespace korvane {

enum class ReceiveMethod { OneFile = 0, FolderPerProgram = 1 };

enum class ReceiveOutcome {
  NotStarted,  // cancelled in a dialog, or refused
  Completed,   // the second "%" arrived; everything received is on disk
  Aborted,     // the operator pressed 中断
  Failed,      // the port or a file failed: the operator is told what was lost
};

// The dialogs and list changes a reception needs from the window.
class ReceiveUi {
 public:
  virtual ~ReceiveUi() = default;
  // The method dialog "取り込み方法"; empty on Cancel.
  virtual std::optional<ReceiveMethod> chooseMethod() = 0;
  // The folder chooser; empty text on Cancel.
  virtual QString chooseFolder() = 0;
  virtual void clearFileList() = 0;
  // The add-files dialog; chosen files are appended to the list.
  virtual void addFiles() = 0;
  virtual QStringList fileListRows() const = 0;
  virtual void appendFileListRow(const QString& row) = 0;
  // The list's text in blue while a reception into a folder runs.
  virtual void setListTextBlue(bool blue) = 0;
  // Shows the folder in the desktop's file manager.
  virtual void openFolder(const QString& folder) = 0;
};

inline const QString kReceivingCaption = QStringLiteral("受信中・・・");
inline const QString kReceiveAbortedCaption = QStringLiteral("受信中断・・・");
inline const QString kReceiveDoneCaption = QStringLiteral("受信終了・・・");
inline const QString kReceiveDoneMessage = QStringLiteral("受信が終了しました");
inline const QString kReceiveAbortedMessage = QStringLiteral("受信が中断されました");
inline const QString kDirRowPrefix = QStringLiteral("[DIR] ");

// A program number address at the start of a block (blanks before it allowed), as opposed to a
// capital O inside a comment.
bool startsWithProgramNumber(const QString& line);

// ".nc" for an empty filter; otherwise from the first "." to the next ";" (or the end).
QString programExtension(const QString& fileFilter);
// "O" + the program number of a line holding "O", at least four digits, + extension.
QString programFileName(const QString& line, const QString& extension);

// Digits of the program number kept in a name that had to be shortened.
inline constexpr int kShortenedProgramDigits = 16;
// name, or, when it is too long for a file name in folder, "O", the first digits, the date and
// time now, a count if that is taken, and the extension.
QString fittingProgramFileName(const QString& folder, const QString& name, const QDateTime& now);
// The name a program of that name is written under until it is whole: "O1234-incomplete-<date>-
// <time>" with the extension, a count if that is taken, the number shortened as above if need be.
QString incompleteProgramFileName(const QString& folder, const QString& name, const QString& extension,
                                  const QDateTime& started);

// What the operator is told of characters that came with a parity error: those the line gave as
// "?" (a 7-bit frame) and those the ISO table dropped (an 8-bit line). Empty when there were none.
QStringList parityFaultTexts(int replaced, int dropped);

class ReceiveEngine {
 public:
  ReceiveEngine(SettingsStore& store, TransferContext context, ReceiveUi& ui);

  bool running() const { return running_; }
  ReceiveMethod lastMethod() const { return method_; }
  // Characters of the last reception that came with a parity error, replaced or dropped.
  int parityFaults() const { return replacedParity_ + droppedParity_; }

  // The receive button: asks the method, prepares the target and receives; while a reception
  // runs (reached from the window's event serving), asks it to stop.
  ReceiveOutcome press();

 private:
  ReceiveOutcome receive();
  bool openPort(std::optional<quint8> controlByte);
  bool processChunk(const QByteArray& chunk);
  bool endOfLine();
  bool writeLine(const QString& line);
  bool startProgram(const QString& line);
  // Closes the open program and gives it its name.
  bool completeProgram();
  void finish(ReceiveOutcome outcome, const QString& failure);

  const PortProfile& profile() const { return store_.profile(slot_); }

  SettingsStore& store_;
  TransferContext c_;
  ReceiveUi& ui_;
  bool running_ = false;
  int slot_ = 0;
  ReceiveMethod method_ = ReceiveMethod::OneFile;
  QString folder_;
  QString extension_;
  QString firstFile_;
  DurableLineFile file_;
  QString line_;
  bool percentSeen_ = false;
  bool endOfData_ = false;
  int written_ = -1;
  QString programPath_;  // the name the open program takes once it is whole
  int droppedParity_ = 0;
  int replacedParity_ = 0;
  qint64 startMs_ = 0;
  QString failure_;
  QList<std::pair<QString, MessageIcon>> notes_;  // told to the operator when the reception ends
};

}  // namespace korvane
