#include "platform/desktop/mailer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include "platform/event_pump.h"
#include "support/test_files.h"

namespace korvane {
namespace {

const QString kSubject = QStringLiteral("データ送信終了");

struct ParsedMessage {
  QList<QByteArray> headerLines;  // unfolded
  QByteArray body;
};

ParsedMessage parse(const QByteArray& message) {
  ParsedMessage out;
  const qsizetype split = message.indexOf("\n\n");
  EXPECT_GE(split, 0) << "no blank line after the headers";
  for (const QByteArray& line : message.left(split).split('\n')) {
    if ((line.startsWith(' ') || line.startsWith('\t')) && !out.headerLines.isEmpty()) {
      out.headerLines.last() += line;
    } else {
      out.headerLines << line;
    }
  }
  out.body = message.mid(split + 2);
  return out;
}

QList<QByteArray> headerValues(const ParsedMessage& message, const QByteArray& name) {
  QList<QByteArray> values;
  for (const QByteArray& line : message.headerLines) {
    if (line.toLower().startsWith(name.toLower() + ':')) values << line.mid(name.size() + 1).trimmed();
  }
  return values;
}

// Decodes a header value made of =?UTF-8?B?...?= words separated by folding blanks. Each word
// must decode to whole characters on its own.
QString decodeEncodedWords(const QByteArray& value) {
  QString text;
  for (const QByteArray& word : value.simplified().split(' ')) {
    EXPECT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.constData();
    EXPECT_LE(word.size(), 75) << word.constData();
    const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
    const QString part = QString::fromUtf8(bytes);
    EXPECT_EQ(part.toUtf8(), bytes) << "a word splits a character";
    text += part;
  }
  return text;
}

QByteArray compose(const MailMessage& message) {
  return SendmailMailer::composeMessage(message, QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9), QTimeZone(9 * 3600)));
}

TEST(MailComposition, HeadersCarryRecipientEncodedSubjectAndPlainTextUtf8) {
  const ParsedMessage m = parse(compose({QStringLiteral("operator@example.com"), kSubject, QStringLiteral("x\r\n")}));
  EXPECT_EQ(headerValues(m, "To"), QList<QByteArray>{"operator@example.com"});
  const auto subject = headerValues(m, "Subject");
  ASSERT_EQ(subject.size(), 1);
  EXPECT_TRUE(subject[0].startsWith("=?UTF-8?B?"));
  EXPECT_EQ(decodeEncodedWords(subject[0]), kSubject);
  EXPECT_EQ(headerValues(m, "MIME-Version"), QList<QByteArray>{"1.0"});
  EXPECT_EQ(headerValues(m, "Content-Type"), QList<QByteArray>{"text/plain; charset=UTF-8"});
  EXPECT_EQ(headerValues(m, "Content-Transfer-Encoding"), QList<QByteArray>{"base64"});
  const auto date = headerValues(m, "Date");
  ASSERT_EQ(date.size(), 1);
  EXPECT_TRUE(date[0].contains("05 Mar 2024 14:07:09 +0900")) << date[0].constData();
  const auto id = headerValues(m, "Message-ID");
  ASSERT_EQ(id.size(), 1);
  EXPECT_TRUE(id[0].startsWith('<') && id[0].endsWith('>') && id[0].count('@') == 1) << id[0].constData();
  EXPECT_TRUE(headerValues(m, "From").isEmpty()) << "the mail system fills in the sender";
  for (const QByteArray& line : m.headerLines) {
    for (const char c : line) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << "header not plain ASCII: " << line.constData();
  }
}

TEST(MailComposition, BodyKeepsEveryByteAndLineEndInOrder) {
  const QString body = QStringLiteral("/home/nc/O1000.nc\r\n/home/nc/ＮＣ データ/部品 2.nc\r\n.\r\n");
  const QByteArray message = compose({QStringLiteral("a@b"), kSubject, body});
  const ParsedMessage m = parse(message);
  const QList<QByteArray> lines = m.body.split('\n');
  ASSERT_EQ(lines.last(), QByteArray()) << "the body ends with a line end";
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) EXPECT_LE(lines[i].size(), 76);
  EXPECT_EQ(QByteArray::fromBase64(m.body), body.toUtf8());
  EXPECT_FALSE(message.contains('\r')) << "the piped text uses LF line ends throughout";
}

TEST(MailComposition, LongBodyIsCutIntoMimeSizedLines) {
  const QString body = QString(QStringLiteral("/長いフォルダ名/")).repeated(40) + QStringLiteral("\r\n");
  const ParsedMessage m = parse(compose({QStringLiteral("a@b"), kSubject, body}));
  const QList<QByteArray> lines = m.body.split('\n');
  ASSERT_GT(lines.size(), 3);
  for (qsizetype i = 0; i + 2 < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 76) << "line " << i;
  EXPECT_EQ(QByteArray::fromBase64(m.body), body.toUtf8());
}

TEST(MailComposition, SubjectEncoding) {
  EXPECT_EQ(encodeHeaderText(QStringLiteral("Data sent")), QByteArray("Data sent"));
  // Text that looks like an encoded word would be decoded by the reader, so it is encoded too.
  EXPECT_TRUE(encodeHeaderText(QStringLiteral("=?x?")).startsWith("=?UTF-8?B?"));
  EXPECT_EQ(encodeHeaderText(QString()), QByteArray());

  const QString longText = QStringLiteral("工作機械へのデータ送信がすべて正常に終了しました😀。プログラム番号 O1000 から O1099 まで");
  const QByteArray folded = encodeHeaderText(longText);
  EXPECT_GT(folded.count("=?UTF-8?B?"), 1) << "long text needs several words";
  EXPECT_EQ(decodeEncodedWords(folded), longText);
}

TEST(MailComposition, LineBreaksInTheSubjectCannotAddHeaders) {
  const QString subject = QStringLiteral("x\r\nBcc: spy@example.com");
  const ParsedMessage m = parse(compose({QStringLiteral("a@b"), subject, QString()}));
  EXPECT_TRUE(headerValues(m, "Bcc").isEmpty());
  ASSERT_EQ(headerValues(m, "Subject").size(), 1);
  EXPECT_EQ(decodeEncodedWords(headerValues(m, "Subject")[0]), subject);
}

TEST(MailAddressValidation, RefusesAnythingButOnePlainAddress) {
  const QString refused[] = {
      QString(),
      QStringLiteral("a@b\r\nBcc: x@y"),
      QStringLiteral("a@b\nBcc: x@y"),
      QStringLiteral("a@b\r"),
      QStringLiteral("a@b") + QChar(0),
      QStringLiteral("a@b, c@d"),
      QStringLiteral("a@b,c@d"),
      QStringLiteral("a@b;c@d"),
      QStringLiteral("Name <a@b>"),
      QStringLiteral("a(comment)@b"),
      QStringLiteral("\"a b\"@c"),
      QStringLiteral("a@[127.0.0.1]"),
      QStringLiteral("group:a@b"),
      QStringLiteral("a\\@b"),
      QStringLiteral("a b@c"),
      QStringLiteral(" a@b"),
      QStringLiteral("a@b\t"),
      QStringLiteral("ab"),
      QStringLiteral("@b"),
      QStringLiteral("a@"),
      QStringLiteral("a@@b"),
      QStringLiteral("a@b@c"),
      QStringLiteral("担当@example.jp"),
      QStringLiteral("a@b") + QChar(0x7F),
  };
  for (const QString& address : refused) {
    const auto error = validateMailAddress(address);
    ASSERT_TRUE(error.has_value()) << address.toStdString();
    EXPECT_EQ(error->number, kMailErrInvalidAddress);
    EXPECT_FALSE(error->description.isEmpty());
  }
}

TEST(MailAddressValidation, AcceptsOrdinaryAddresses) {
  for (const char* address : {"operator@example.com", "o.p+cnc-1@shop.example.co.jp", "a@b", "x_y=z@localhost"}) {
    EXPECT_FALSE(validateMailAddress(QString::fromLatin1(address)).has_value()) << address;
  }
}

TEST(MailAddressValidation, MessageShowsLineBreaksOfTheRefusedAddress) {
  const auto error = validateMailAddress(QStringLiteral("a@b\r\nBcc: x@y"));
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->description.contains(QStringLiteral("a@b\\r\\nBcc: x@y"))) << error->description.toStdString();
}

TEST(SendmailOptionsTest, EnvironmentChoosesTheProgramButKeepsTheArguments) {
  const QByteArray saved = qgetenv("KORVANE_SENDMAIL");
  const bool wasSet = qEnvironmentVariableIsSet("KORVANE_SENDMAIL");
  qputenv("KORVANE_SENDMAIL", "/opt/mail/bin/sendmail");
  const SendmailOptions fromEnv = defaultSendmailOptions();
  qunsetenv("KORVANE_SENDMAIL");
  const SendmailOptions plain = defaultSendmailOptions();
  qputenv("KORVANE_SENDMAIL", "");
  const SendmailOptions empty = defaultSendmailOptions();
  if (wasSet) qputenv("KORVANE_SENDMAIL", saved); else qunsetenv("KORVANE_SENDMAIL");

  EXPECT_EQ(fromEnv.program, QStringLiteral("/opt/mail/bin/sendmail"));
  EXPECT_EQ(fromEnv.arguments, (QStringList{QStringLiteral("-t"), QStringLiteral("-i")}));
  EXPECT_EQ(plain.program, QStringLiteral("/usr/sbin/sendmail"));
  EXPECT_EQ(empty.program, QStringLiteral("/usr/sbin/sendmail"));
}

// The sendmail program is replaced by small system programs whose behaviour is known.
class SendmailProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString path(const QString& name) const { return dir_.filePath(name); }
  static MailMessage message(const QString& to = QStringLiteral("operator@example.com")) {
    return {to, kSubject, QStringLiteral("/nc/O1.nc\r\n/nc/O2.nc\r\n")};
  }
  QTemporaryDir dir_;
};

TEST_F(SendmailProcessTest, RefusedAddressStartsNothing) {
  // The stand-in reads the whole message before it marks that it ran: a program that exits
  // without reading it would be a failure of its own.
  SendmailMailer mailer(
      {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("cat >/dev/null; touch \"$0\""), path("started")}, 10000});
  for (const QString& bad : {QStringLiteral("a@b\r\nBcc: x@y"), QStringLiteral("a@b, c@d"), QString()}) {
    const auto error = mailer.send(message(bad));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number, kMailErrInvalidAddress);
  }
  EXPECT_FALSE(QFileInfo::exists(path("started")));
  EXPECT_FALSE(mailer.send(message()).has_value());
  EXPECT_TRUE(QFileInfo::exists(path("started"))) << "the same mailer runs its program for a good address";
}

TEST_F(SendmailProcessTest, PipesTheMessageAndPassesArgumentsWithoutAShell) {
  // The shell here is the test's stand-in program; the arguments reach it through argv, so a
  // shell construct among them must arrive as plain text and never run.
  const QString script = QStringLiteral("cat > \"$0\"; printf '%s\\n' \"$@\" > \"$0.args\"");
  SendmailMailer mailer({QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), script, path("msg"), QStringLiteral("-t"), QStringLiteral("-i"),
                          QStringLiteral("$(touch %1)").arg(path("evil"))},
                         10000});
  ASSERT_FALSE(mailer.send(message()).has_value());
  const QByteArray piped = test::readTestFile(path("msg"));
  EXPECT_TRUE(piped.startsWith("To: operator@example.com\n")) << piped.constData();
  EXPECT_EQ(QByteArray::fromBase64(parse(piped).body), message().body.toUtf8());
  EXPECT_EQ(test::readTestFile(path("msg.args")), QStringLiteral("-t\n-i\n$(touch %1)\n").arg(path("evil")).toUtf8());
  EXPECT_FALSE(QFileInfo::exists(path("evil")));
}

TEST_F(SendmailProcessTest, MissingProgramCannotStart) {
  SendmailMailer mailer({path("no-such-sendmail"), {QStringLiteral("-t")}, 10000});
  const auto error = mailer.send(message());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kMailErrCannotStart);
  EXPECT_TRUE(error->description.contains(path("no-such-sendmail"))) << error->description.toStdString();
}

TEST_F(SendmailProcessTest, ExitStatusAndErrorTextOfTheProgramAreReported) {
  SendmailMailer mailer({QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), QStringLiteral("cat >/dev/null; echo 'relay refused' >&2; exit 75")},
                         10000});
  const auto error = mailer.send(message());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kMailErrProgramFailed);
  EXPECT_TRUE(error->description.contains(QStringLiteral("75"))) << error->description.toStdString();
  EXPECT_TRUE(error->description.endsWith(QStringLiteral("\r\nrelay refused"))) << error->description.toStdString();
}

TEST_F(SendmailProcessTest, ProgramKilledBySignalIsAFailure) {
  SendmailMailer mailer({QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("cat >/dev/null; kill -9 $$")}, 10000});
  const auto error = mailer.send(message());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kMailErrProgramCrashed);
}

TEST_F(SendmailProcessTest, ProgramThatEndsWithoutReadingTheMessageIsAFailure) {
  // Larger than any pipe buffer, so the message cannot vanish into the pipe unread.
  MailMessage big = message();
  big.body = QString(QStringLiteral("/nc/O1.nc\r\n")).repeated(200000);
  SendmailMailer mailer({QStringLiteral("/bin/true"), {}, 10000});
  const auto error = mailer.send(big);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kMailErrProgramCrashed);
}

TEST_F(SendmailProcessTest, ProgramThatHangsIsStoppedAtTheLimitWhileEventsAreServed) {
  struct CountingPump final : EventPump {
    int served = 0;
    void serveEvents() override { ++served; }
  } pump;
  SendmailMailer mailer({QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, 300}, &pump);
  const auto error = mailer.send(message());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, kMailErrTimedOut);
  EXPECT_GT(pump.served, 0);
}

}  // namespace
}  // namespace korvane
