#pragma once
// korvane-cli serve run by a test, with the machines played on pseudo-terminals.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>

#include "support/cp932_iconv.h"
#include "support/pty_pair.h"

namespace korvane::test {

// What a reader makes of ISO tape bytes: parity stripped, leader, DC codes and CR dropped.
inline QByteArray readable(const QByteArray& bytes) {
  QByteArray text;
  for (const char c : bytes) {
    const char b = char(c & 0x7F);
    if (b == '\0' || b == '\r' || (b >= 0x11 && b <= 0x14)) continue;
    text.append(b);
  }
  return text;
}

// The service on the terminal, its standard error collected as it comes.
class Service {
 public:
  // childSetUp runs in the service's process before it starts (a resource limit, say).
  explicit Service(const QStringList& options, const std::function<void()>& childSetUp = {}) {
    if (childSetUp) process_.setChildProcessModifier(childSetUp);
    process_.start(KORVANE_CLI_PATH, QStringList{"serve"} + options);
  }
  ~Service() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
  QProcess& process() { return process_; }
  const QString& log() {
    process_.waitForReadyRead(0);
    log_ += QString::fromUtf8(process_.readAllStandardError());
    return log_;
  }
  // Waits until the log holds `count` lines containing text.
  bool waitForLog(const QString& text, int count = 1, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      if (log().count(text) >= count) return true;
      process_.waitForReadyRead(50);
    }
    return false;
  }

 private:
  QProcess process_;
  QString log_;
};

// Reads what the service sends until the tape's closing "%" (at most 15 s).
inline QByteArray readTape(PtyPair& machine) {
  QByteArray text;
  for (int i = 0; i < 150 && text.count('%') < 2; ++i) text += readable(machine.read(100));
  return text;
}

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (condition()) return true;
    QThread::msleep(50);
  }
  return condition();
}

// Profile slot on Com slot, served, with its own receive folder and the shared program folder.
inline QByteArray servedProfile(int slot, const QString& programs, const QString& received,
                                const QString& more = QString()) {
  return iconvEncodeCp932(QStringLiteral("[COM%1]\r\nﾎﾟｰﾄ=%1\r\nｻｰﾋﾞｽ=1\r\nﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ=%2\r\n受信ﾌｫﾙﾀﾞ=%3\r\n"
                                         "ﾊﾝﾄﾞｼｪｲｸ=1\r\nDCDDSR=0\r\n%4")
                              .arg(slot)
                              .arg(programs, received, more));
}

}  // namespace korvane::test
