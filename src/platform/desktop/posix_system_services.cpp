#include "platform/desktop/mailer.h"
#include "platform/desktop/power_off.h"

namespace korvane {

std::unique_ptr<Mailer> makeSystemMailer(EventPump* pump) {
  return std::make_unique<SendmailMailer>(defaultSendmailOptions(), pump);
}

std::unique_ptr<PowerOff> makeSystemPowerOff() { return std::make_unique<SystemdPowerOff>(); }

}  // namespace korvane
