#pragma once
// What a send does after a normal end, when the settings ask for it: mail the list of sent
// files, then power the computer off. The send engine decides whether each runs; these only
// carry them out.

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/desktop/mailer.h"

namespace korvane {

class SettingsStore;
class PowerOff;
class TransferView;

inline const QString kCompletionMailSubject = QStringLiteral("データ送信終了");

// Ends the process at once: pending output is flushed, then the process exits with status 0
// through std::_Exit. No event handler, destructor or exit handler runs, so nothing is saved or
// shown after the start slot was written; the settings file is already complete on disk.
void endProgramNow();

class CompletionActions {
 public:
  CompletionActions(SettingsStore& store, Mailer& mailer, PowerOff& powerOff, TransferView& view,
                    std::function<void()> endProgram = endProgramNow);

  // Mails every row of the list, in list order, each followed by CR LF, to the mail address of
  // the settings. A failure is shown as "<number> CR <description>" with the warning icon;
  // the caller goes on either way.
  void sendCompletionMail(const QStringList& rows);

  // Writes the selected profile to "開始ポート" (and no other key), requests the power-off and
  // ends the program. Returns only when the end-of-program function returns, as in tests.
  void shutDownSystem();

  static QString mailBody(const QStringList& rows);
  static QString failureText(const MailError& error);

 private:
  SettingsStore& store_;
  Mailer& mailer_;
  PowerOff& powerOff_;
  TransferView& view_;
  std::function<void()> endProgram_;
};

}  // namespace korvane
