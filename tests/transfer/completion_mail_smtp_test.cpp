// The completion mail on its whole road: the actions, the sendmail interface of msmtp, SMTP on
// 127.0.0.1 and a real server that reads the message with its own MIME parser.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include "platform/desktop/mailer.h"
#include "platform/desktop/power_off.h"
#include "settings/settings_store.h"
#include "support/recording_view.h"
#include "support/smtp_sink.h"
#include "transfer/completion_actions.h"
#include "transfer/transfer_view.h"

namespace korvane {
namespace {

class NoPowerOff final : public PowerOff {
 public:
  void requestPowerOff() override { ADD_FAILURE() << "a mail must not power off"; }
};

class CompletionMailSmtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString missing = test::missingMailTools();
    ASSERT_TRUE(missing.isEmpty()) << missing.toStdString();
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("received")));
    sink_ = std::make_unique<test::SmtpSink>(dir_.filePath(QStringLiteral("received")));
    QString error;
    ASSERT_TRUE(sink_->start(&error)) << error.toStdString();
    config_ = test::writeMsmtpConfig(dir_.filePath(QStringLiteral("msmtprc")), sink_->port());
    ASSERT_FALSE(config_.isEmpty());
  }

  // msmtp as the sendmail program, reading this test's configuration.
  SendmailOptions msmtp() const {
    return {test::kMsmtpProgram, {QStringLiteral("-C"), config_, QStringLiteral("-t"), QStringLiteral("-i")}, 30000};
  }

  void sendTo(const QString& address, const QStringList& rows) {
    SettingsStore store(dir_.filePath(QStringLiteral("korvane.ini")));
    store.app().mailAddress = address;
    SendmailMailer mailer(msmtp());
    NoPowerOff powerOff;
    CompletionActions(store, mailer, powerOff, view_, [] { ADD_FAILURE() << "a mail must not end the program"; })
        .sendCompletionMail(rows);
  }

  QTemporaryDir dir_;
  std::unique_ptr<test::SmtpSink> sink_;
  QString config_;
  test::RecordingView view_;
};

TEST_F(CompletionMailSmtpTest, ServerReceivesRecipientSubjectAndListedPaths) {
  const QStringList rows = {QStringLiteral("/home/cnc/NC/O1000.nc"), QStringLiteral("/home/cnc/ＮＣ データ/部品 2.nc"),
                            QStringLiteral("/home/cnc/NC/.")};
  sendTo(QStringLiteral("cnc-room@example.test"), rows);
  EXPECT_TRUE(view_.messages.isEmpty()) << view_.messages.join(QStringLiteral(" | ")).toStdString();

  const QList<QJsonObject> received = sink_->messages();
  ASSERT_EQ(received.size(), 1);
  const QJsonObject& m = received[0];
  EXPECT_EQ(m[QStringLiteral("rcpt_tos")].toArray(), QJsonArray{QStringLiteral("cnc-room@example.test")});
  EXPECT_EQ(m[QStringLiteral("to")].toArray(), QJsonArray{QStringLiteral("cnc-room@example.test")});
  EXPECT_TRUE(m[QStringLiteral("bcc")].toArray().isEmpty());
  EXPECT_EQ(m[QStringLiteral("mail_from")].toString(), QStringLiteral("korvane@localhost"));
  EXPECT_TRUE(m[QStringLiteral("subject_raw")].toString().startsWith(QStringLiteral("=?UTF-8?B?")));
  EXPECT_EQ(m[QStringLiteral("subject")].toString(), QStringLiteral("データ送信終了"));
  EXPECT_EQ(m[QStringLiteral("content_type")].toString(), QStringLiteral("text/plain"));
  EXPECT_EQ(m[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
  EXPECT_EQ(m[QStringLiteral("mime_version")].toString(), QStringLiteral("1.0"));
  EXPECT_FALSE(m[QStringLiteral("date")].toString().isEmpty());

  const QByteArray body = QByteArray::fromBase64(m[QStringLiteral("body_base64")].toString().toLatin1());
  EXPECT_EQ(body, QStringLiteral("/home/cnc/NC/O1000.nc\r\n/home/cnc/ＮＣ データ/部品 2.nc\r\n/home/cnc/NC/.\r\n").toUtf8());

  // On the wire every line of the message ends in CR LF.
  const QByteArray raw = sink_->rawMessage(1);
  ASSERT_FALSE(raw.isEmpty());
  EXPECT_EQ(raw.count('\n'), raw.count("\r\n")) << raw.constData();
}

TEST_F(CompletionMailSmtpTest, RecipientRefusedByTheServerIsShownAndNothingIsDelivered) {
  sendTo(QStringLiteral("unknown@example.test"), {QStringLiteral("/nc/O1.nc")});

  ASSERT_EQ(view_.messages.size(), 1);
  EXPECT_TRUE(view_.messages[0].startsWith(QString::number(kMailErrProgramFailed) + QLatin1Char('\r')))
      << view_.messages[0].toStdString();
  EXPECT_TRUE(view_.messages[0].contains(QStringLiteral("no such mailbox"))) << view_.messages[0].toStdString();
  EXPECT_EQ(view_.icons[0], MessageIcon::Warning);
  EXPECT_TRUE(sink_->messages().isEmpty());
}

TEST_F(CompletionMailSmtpTest, ServerThatIsNotThereIsShownAsTheProgramsFailure) {
  const int port = sink_->port();
  sink_->stop();
  config_ = test::writeMsmtpConfig(dir_.filePath(QStringLiteral("msmtprc")), port);
  sendTo(QStringLiteral("cnc-room@example.test"), {QStringLiteral("/nc/O1.nc")});

  ASSERT_EQ(view_.messages.size(), 1);
  EXPECT_TRUE(view_.messages[0].startsWith(QString::number(kMailErrProgramFailed) + QLatin1Char('\r')))
      << view_.messages[0].toStdString();
  EXPECT_TRUE(view_.messages[0].contains(QString::number(port))) << "msmtp's own text names the server";
}

}  // namespace
}  // namespace korvane
