#include "platform/desktop/mailer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSysInfo>
#include <QUuid>
#include <algorithm>

#include "platform/event_pump.h"

namespace korvane {

namespace {

bool isPrintableAscii(QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7E; }

// Shows a refused address so the operator sees what is wrong with it, line breaks included.
QString visible(const QString& text) {
  QString out;
  for (const QChar c : text) {
    if (c == QLatin1Char('\r')) out += QStringLiteral("\\r");
    else if (c == QLatin1Char('\n')) out += QStringLiteral("\\n");
    else if (c.unicode() < 0x20 || c.unicode() == 0x7F) out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else out += c;
  }
  return out;
}

MailError addressError(const QString& why, const QString& address) {
  return {kMailErrInvalidAddress, QStringLiteral("%1: %2").arg(why, visible(address))};
}

// The base64 lines of the body: 57 bytes give 76 characters, the longest line MIME allows.
QByteArray base64Lines(const QByteArray& bytes, const QByteArray& lineEnd) {
  QByteArray out;
  for (qsizetype at = 0; at < bytes.size(); at += 57) out += bytes.mid(at, 57).toBase64() + lineEnd;
  return out;
}

// The right side of the Message-ID: this machine's name when it is a plain host name.
QByteArray messageIdHost() {
  const QByteArray host = QSysInfo::machineHostName().toLatin1();
  const bool plain = !host.isEmpty() && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
  });
  return plain ? host : QByteArrayLiteral("localhost");
}

// The end of what the program wrote, for the message: its error text when it gave one.
QString programOutput(QProcess& process) {
  QString text = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
  if (text.isEmpty()) text = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
  constexpr int kMaxChars = 2000;
  if (text.size() > kMaxChars) text = QStringLiteral("...") + text.right(kMaxChars);
  return text;
}

QString withOutput(const QString& head, const QString& output) {
  return output.isEmpty() ? head : head + QStringLiteral("\r\n") + output;
}

}  // namespace

std::optional<MailError> validateMailAddress(const QString& address) {
  if (address.isEmpty()) return MailError{kMailErrInvalidAddress, QStringLiteral("メールアドレスが設定されていません")};
  static const QString kSeparators = QStringLiteral("()<>[]:;\\,\"");
  for (const QChar c : address) {
    if (!isPrintableAscii(c) || c == QLatin1Char(' ') || kSeparators.contains(c)) {
      return addressError(QStringLiteral("メールアドレスに使えない文字が含まれています"), address);
    }
  }
  const qsizetype at = address.indexOf(QLatin1Char('@'));
  if (at <= 0 || at == address.size() - 1 || address.indexOf(QLatin1Char('@'), at + 1) >= 0) {
    return addressError(QStringLiteral("メールアドレスの形式が正しくありません"), address);
  }
  return std::nullopt;
}

QByteArray encodeHeaderText(const QString& text, const QByteArray& lineEnd) {
  const bool plain = std::all_of(text.begin(), text.end(), isPrintableAscii) && !text.contains(QStringLiteral("=?"));
  if (plain) return text.toLatin1();
  // 45 bytes make 60 base64 characters: with "=?UTF-8?B?" and "?=" a word of 72 characters.
  constexpr qsizetype kMaxWordBytes = 45;
  QList<QByteArray> words;
  QByteArray chunk;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const QByteArray bytes = text.mid(i, length).toUtf8();
    if (chunk.size() + bytes.size() > kMaxWordBytes) {
      words << chunk;
      chunk.clear();
    }
    chunk += bytes;
    i += length;
  }
  if (!chunk.isEmpty()) words << chunk;
  QByteArray out;
  for (const QByteArray& word : words) {
    if (!out.isEmpty()) out += lineEnd + ' ';
    out += "=?UTF-8?B?" + word.toBase64() + "?=";
  }
  return out;
}

SendmailOptions defaultSendmailOptions() {
  SendmailOptions options;
  const QString program = qEnvironmentVariable("KORVANE_SENDMAIL");
  if (!program.isEmpty()) options.program = program;
  return options;
}

SendmailMailer::SendmailMailer(SendmailOptions options, EventPump* pump) : options_(std::move(options)), pump_(pump) {}

QByteArray SendmailMailer::composeMessage(const MailMessage& message, const QDateTime& date) {
  const QByteArray n = "\n";
  QByteArray out;
  out += "To: " + message.to.toLatin1() + n;
  out += "Subject: " + encodeHeaderText(message.subject, n) + n;
  out += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + n;
  out += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + messageIdHost() + '>' + n;
  out += "MIME-Version: 1.0" + n;
  out += "Content-Type: text/plain; charset=UTF-8" + n;
  out += "Content-Transfer-Encoding: base64" + n;
  out += n;
  out += base64Lines(message.body.toUtf8(), n);
  return out;
}

std::optional<MailError> SendmailMailer::send(const MailMessage& message) {
  if (auto refused = validateMailAddress(message.to)) return refused;
  const QByteArray data = composeMessage(message, QDateTime::currentDateTime());

  QElapsedTimer timer;
  timer.start();
  QProcess process;
  process.setProgram(options_.program);
  process.setArguments(options_.arguments);
  process.start(QIODevice::ReadWrite);
  if (!process.waitForStarted(std::max(options_.timeoutMs, 1))) {
    process.kill();
    process.waitForFinished(1000);
    return MailError{kMailErrCannotStart, QStringLiteral("メール送信プログラムを起動できません: %1\r\n%2")
                                              .arg(options_.program, process.errorString())};
  }
  process.write(data);
  process.closeWriteChannel();

  while (process.state() != QProcess::NotRunning) {
    const qint64 left = options_.timeoutMs - timer.elapsed();
    if (left <= 0) {
      process.kill();
      process.waitForFinished(1000);
      return MailError{kMailErrTimedOut, QStringLiteral("メール送信プログラムが %1 ミリ秒以内に終了しなかったため止めました: %2")
                                             .arg(options_.timeoutMs)
                                             .arg(options_.program)};
    }
    process.waitForFinished(static_cast<int>(pump_ ? std::min<qint64>(left, kEventSliceMs) : left));
    if (pump_) pump_->serveEvents();
  }

  const QString output = programOutput(process);
  if (process.exitStatus() == QProcess::CrashExit) {
    return MailError{kMailErrProgramCrashed,
                     withOutput(QStringLiteral("メール送信プログラムが異常終了しました: %1").arg(options_.program), output)};
  }
  if (process.exitCode() != 0) {
    return MailError{kMailErrProgramFailed,
                     withOutput(QStringLiteral("メール送信プログラムがエラーで終了しました（終了コード %1）: %2")
                                    .arg(process.exitCode())
                                    .arg(options_.program),
                                output)};
  }
  if (process.bytesToWrite() > 0 || process.error() == QProcess::WriteError) {
    return MailError{kMailErrProgramCrashed,
                     withOutput(QStringLiteral("メール送信プログラムがメッセージを最後まで読みませんでした: %1")
                                    .arg(options_.program),
                                output)};
  }
  return std::nullopt;
}

}  // namespace korvane
