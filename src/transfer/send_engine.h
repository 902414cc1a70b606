#pragma once
// Sends every file of the list, in list order, as one tape stream to the machine of the
// selected profile: DC2, the wait for the machine's DC1, leading feed, end-of-block and "%",
// the converted program text with the added space that makes each block even, feed between
// files, trailing "%", feed and DC4.

#include <QStringList>
#include <functional>

#include "settings/settings_store.h"
#include "transfer/line_writer.h"

namespace korvane {

enum class SendOutcome {
  NotStarted,  // refused, answered No, or the port could not be opened; nothing changed
  Completed,   // every file sent
  Aborted,     // the operator pressed 中断
  Failed,      // a file could not be read or the port failed: the machine did not get everything
};

struct SendCompletion {
  std::function<void(const QStringList& rows)> sendCompletionMail;
  // Ends the program; when it returns (tests), the engine stops right there.
  std::function<void()> shutDownSystem;
};

inline const QString kSendingCaption = QStringLiteral("送信中・・・");
inline const QString kSendAbortedCaption = QStringLiteral("送信中断・・・");
inline const QString kSendDoneCaption = QStringLiteral("送信終了・・・");
inline const QString kSendDoneMessage = QStringLiteral("送信が終了しました");
inline const QString kSendAbortedMessage = QStringLiteral("送信が中断されました");

class SendEngine {
 public:
  SendEngine(SettingsStore& store, TransferContext context, SendCompletion completion);

  bool running() const { return running_; }

  // The send button: starts a job over rows and returns when it has ended, or, while a job
  // runs (reached from the window's event serving), asks it to stop.
  SendOutcome press(const QStringList& rows);

 private:
  enum class Step { Go, Aborted, Unreadable, PortLost };

  // The profile of the job's slot, read afresh at every use.
  const PortProfile& profile() const { return store_.profile(slot_); }
  SendOutcome run(const QStringList& rows);
  bool openPort();
  // False, after telling the operator, when a file holds a byte that is no character.
  bool everyFileIsText(const QStringList& rows);
  Step waitForGoAhead();
  Step openingSequence(LineWriter& writer);
  Step sendFile(const QString& path, int row, bool last, LineWriter& writer);
  void closingSequence(LineWriter& writer);
  SendOutcome report(Step result, const QStringList& rows);
  void writeConverted(LineWriter& writer, QChar character);

  SettingsStore& store_;
  TransferContext c_;
  SendCompletion completion_;
  bool running_ = false;
  int slot_ = 0;
  int feedCount_ = 0;
  int trailingFeedCount_ = 0;
  qint64 fileStartMs_ = 0;
  QString portLostText_;
};

// NUL frames for a feed length in centimetres: ten per inch, rounded half to even.
int feedFrames(double lengthCm);
// Characters the profile's line carries in one second; 0 when its settings text is unusable.
int framesPerSecond(const PortProfile& profile);

}  // namespace korvane
