#pragma once
// Sending one plain-text mail to one recipient without asking the user anything. The completion
// mail goes through this interface; the program uses the system's sendmail program, the tests
// replace it or point it at a local mail server.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace korvane {

class EventPump;

// Error numbers of a mail that was not handed over. They are shown to the operator as
// "<number> CR <description>", so they stay fixed once released.
inline constexpr int kMailErrInvalidAddress = 1;  // recipient empty or not one plain address; nothing started
inline constexpr int kMailErrCannotStart = 2;     // the sendmail program does not exist or cannot be run
inline constexpr int kMailErrProgramFailed = 3;   // it ended with a non-zero exit status; its own text follows
inline constexpr int kMailErrProgramCrashed = 4;  // it was killed by a signal, or the message could not be piped
inline constexpr int kMailErrTimedOut = 5;        // it did not end within the time limit and was stopped
inline constexpr int kMailErrNoClient = 6;        // no mail program is registered for Simple MAPI (Windows)

struct MailError {
  int number = 0;
  QString description;
};

struct MailMessage {
  QString to;       // one address, local@domain
  QString subject;  // any text; sent as UTF-8 encoded words when it is not plain ASCII
  QString body;     // sent byte for byte as UTF-8, line ends included
};

class Mailer {
 public:
  virtual ~Mailer() = default;
  // Hands the message to the mail system. Empty on success; the error otherwise.
  virtual std::optional<MailError> send(const MailMessage& message) = 0;
};

// Refuses anything but one plain address: exactly one "@" with text on both sides, printable
// ASCII only, no blanks and none of the characters that separate or comment addresses in a
// header ( ) < > [ ] : ; \ , "). A line break could otherwise add headers such as Bcc.
std::optional<MailError> validateMailAddress(const QString& address);

// The header value for a text: unchanged when it is printable ASCII, otherwise one or more
// =?UTF-8?B?...?= words (each at most 75 characters, never splitting a character) joined by a
// folding line break and a blank.
QByteArray encodeHeaderText(const QString& text, const QByteArray& lineEnd = "\n");

// How the sendmail program is run: never through a shell, the message on its standard input.
struct SendmailOptions {
  QString program = QStringLiteral("/usr/sbin/sendmail");
  // -t: recipients come from the To header; -i: a line holding a single dot does not end the
  // message.
  QStringList arguments = {QStringLiteral("-t"), QStringLiteral("-i")};
  int timeoutMs = 60000;  // from the start of the program to its end
};

// The defaults, with the program taken from the environment variable KORVANE_SENDMAIL when it
// is set and not empty.
SendmailOptions defaultSendmailOptions();

class SendmailMailer final : public Mailer {
 public:
  // pump, when given, runs pending window events while the program works, so the window
  // stays alive during a slow mail server.
  explicit SendmailMailer(SendmailOptions options = defaultSendmailOptions(), EventPump* pump = nullptr);

  std::optional<MailError> send(const MailMessage& message) override;

  const SendmailOptions& options() const { return options_; }

  // The message as it is piped: headers To, Subject, Date, Message-ID, MIME-Version,
  // Content-Type text/plain; charset=UTF-8 and Content-Transfer-Encoding base64, a blank line
  // and the body in base64 lines of 76 characters. Lines end in LF, the local text form that
  // sendmail programs read; they turn every line end into CR LF on the wire. The body's own
  // line ends are inside the base64 text, so they arrive exactly as given whatever the mail
  // system does with line ends. No From header: the mail system fills in the sending user.
  static QByteArray composeMessage(const MailMessage& message, const QDateTime& date);

 private:
  SendmailOptions options_;
  EventPump* pump_;
};

// The mail system of this computer: the sendmail program on POSIX, Simple MAPI on Windows.
std::unique_ptr<Mailer> makeSystemMailer(EventPump* pump = nullptr);

}  // namespace korvane
