#include "transfer/completion_actions.h"

#include <cstdio>
#include <cstdlib>

#include "platform/desktop/power_off.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "transfer/transfer_view.h"

namespace korvane {

void endProgramNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

CompletionActions::CompletionActions(SettingsStore& store, Mailer& mailer, PowerOff& powerOff, TransferView& view,
                                     std::function<void()> endProgram)
    : store_(store), mailer_(mailer), powerOff_(powerOff), view_(view), endProgram_(std::move(endProgram)) {}

QString CompletionActions::mailBody(const QStringList& rows) {
  QString body;
  for (const QString& row : rows) body += row + QStringLiteral("\r\n");
  return body;
}

QString CompletionActions::failureText(const MailError& error) {
  return QString::number(error.number) + QLatin1Char('\r') + error.description;
}

void CompletionActions::sendCompletionMail(const QStringList& rows) {
  const MailMessage message{store_.app().mailAddress, kCompletionMailSubject, mailBody(rows)};
  if (const auto error = mailer_.send(message)) view_.showMessage(failureText(*error), MessageIcon::Warning);
}

void CompletionActions::shutDownSystem() {
  // A failed write is not reported: the power-off and the end follow whatever happens, and a
  // message box now would hold up the shutdown the operator asked for.
  store_.writeSetting(kAppSection, kKeyStartSlot, numberText(store_.app().currentProfile));
  powerOff_.requestPowerOff();
  endProgram_();
}

}  // namespace korvane
