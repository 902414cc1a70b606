#pragma once
// The completion mail on Windows: Simple MAPI's MAPISendMail, loaded from MAPI32.DLL at the time
// of sending, so that the program starts on a computer without any mail program. The message
// goes out without the mail program's dialog; its own logon applies.

#include <functional>

#include "platform/desktop/mailer.h"

namespace korvane {

class MapiMailer final : public Mailer {
 public:
  // The name of the mail program registered for Simple MAPI, empty when there is none. By
  // default the registry's Clients\Mail of the user, then of the machine.
  using ClientLookup = std::function<QString()>;
  explicit MapiMailer(ClientLookup lookup = registeredMailClient);

  std::optional<MailError> send(const MailMessage& message) override;

  static QString registeredMailClient();
  // Simple MAPI's result codes in the operator's words.
  static QString mapiErrorText(unsigned long code);

 private:
  ClientLookup lookup_;
};

}  // namespace korvane
