#pragma once
// A real SMTP server on 127.0.0.1 for the mail tests (smtp_sink.py beside this file, run by the
// system's Python with aiosmtpd), and the msmtp configuration that relays to it.

#include <QJsonObject>
#include <QProcess>
#include <QString>

namespace korvane::test {

inline const QString kMsmtpProgram = QStringLiteral("/usr/bin/msmtp");
inline const QString kSystemPython = QStringLiteral("/usr/bin/python3");

// Empty when msmtp and Python's aiosmtpd are installed; otherwise what is missing and how to
// install it. The mail tests fail with this text rather than skip.
QString missingMailTools();

class SmtpSink {
 public:
  // Messages are stored in folder, which must exist.
  explicit SmtpSink(QString folder);
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  // Starts the server and waits (bounded) until it listens. False with the reason otherwise.
  bool start(QString* error);
  void stop();
  int port() const { return port_; }

  // The messages received so far, in order: Python's reading of each (see smtp_sink.py).
  QList<QJsonObject> messages() const;
  // The bytes of message n (1-based) as they came in the DATA command.
  QByteArray rawMessage(int n) const;

 private:
  QString folder_;
  QProcess process_;
  int port_ = 0;
};

// Writes an msmtp configuration for host 127.0.0.1:port without authentication or TLS, sender
// korvane@localhost, and returns its path.
QString writeMsmtpConfig(const QString& path, int port);

}  // namespace korvane::test
