#include "transfer/completion_actions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/desktop/power_off.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "transfer/transfer_view.h"

namespace korvane {
namespace {

class ScriptedMailer final : public Mailer {
 public:
  std::optional<MailError> result;
  QList<MailMessage> sent;
  std::optional<MailError> send(const MailMessage& message) override {
    sent << message;
    return result;
  }
};

// Records the calls in one shared log, so the order of power-off and end is visible.
class LoggingPowerOff final : public PowerOff {
 public:
  explicit LoggingPowerOff(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {}
  void requestPowerOff() override { onRequest_(); }

 private:
  std::function<void()> onRequest_;
};

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray cp932(const char* utf8) { return encodeCp932(QString::fromUtf8(utf8)); }

class CompletionActionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  void TearDown() override { EXPECT_EQ(view_.questions, 0) << "completion actions ask nothing"; }

  QString iniPath() const { return dir_.filePath(QStringLiteral("korvane.ini")); }

  CompletionActions actions(SettingsStore& store, Mailer& mailer, QStringList* log, QByteArray* iniAtPowerOff = nullptr) {
    powerOff_ = std::make_unique<LoggingPowerOff>([this, log, iniAtPowerOff] {
      *log << QStringLiteral("power-off");
      if (iniAtPowerOff) *iniAtPowerOff = test::readTestFile(iniPath());
    });
    return CompletionActions(store, mailer, *powerOff_, view_, [log] { *log << QStringLiteral("end"); });
  }

  QTemporaryDir dir_;
  test::RecordingView view_;
  std::unique_ptr<LoggingPowerOff> powerOff_;
};

TEST_F(CompletionActionsTest, MailListsEveryRowInOrderToTheAddressOfTheMoment) {
  SettingsStore store(iniPath());
  store.app().mailAddress = QStringLiteral("old@example.com");
  ScriptedMailer mailer;
  QStringList log;
  CompletionActions completion = actions(store, mailer, &log);
  store.app().mailAddress = QStringLiteral("cnc-room@example.com");

  completion.sendCompletionMail({QStringLiteral("/nc/O2000.nc"), QStringLiteral("/nc/部品 A/O1000.nc"),
                                 QStringLiteral("[DIR] /nc/受信")});

  ASSERT_EQ(mailer.sent.size(), 1);
  EXPECT_EQ(mailer.sent[0].to, QStringLiteral("cnc-room@example.com"));
  EXPECT_EQ(mailer.sent[0].subject, QStringLiteral("データ送信終了"));
  EXPECT_EQ(mailer.sent[0].body, QStringLiteral("/nc/O2000.nc\r\n/nc/部品 A/O1000.nc\r\n[DIR] /nc/受信\r\n"));
  EXPECT_TRUE(view_.messages.isEmpty());
  EXPECT_TRUE(log.isEmpty()) << "mail neither powers off nor ends";
  EXPECT_FALSE(QFileInfo::exists(iniPath())) << "mail writes no settings";
}

TEST_F(CompletionActionsTest, MailBodyOfOneRowAndOfNoRows) {
  EXPECT_EQ(CompletionActions::mailBody({QStringLiteral("/a.nc")}), QStringLiteral("/a.nc\r\n"));
  EXPECT_EQ(CompletionActions::mailBody({}), QString());
}

TEST_F(CompletionActionsTest, MailFailureShowsNumberCrDescriptionWithWarningIcon) {
  SettingsStore store(iniPath());
  store.app().mailAddress = QStringLiteral("a@b");
  ScriptedMailer mailer;
  mailer.result = MailError{kMailErrProgramFailed, QStringLiteral("メール送信に失敗しました\r\nrelay refused")};
  QStringList log;
  actions(store, mailer, &log).sendCompletionMail({QStringLiteral("/a.nc")});

  ASSERT_EQ(view_.messages.size(), 1);
  EXPECT_EQ(view_.messages[0], QStringLiteral("3\rメール送信に失敗しました\r\nrelay refused"));
  EXPECT_EQ(view_.icons[0], MessageIcon::Warning);
  EXPECT_TRUE(log.isEmpty());
}

TEST_F(CompletionActionsTest, InjectedAddressIsRefusedBeforeAnyProgramRuns) {
  SettingsStore store(iniPath());
  store.app().mailAddress = QStringLiteral("a@b\r\nBcc: x@y");
  const QString marker = dir_.filePath(QStringLiteral("started"));
  SendmailMailer mailer({QStringLiteral("/usr/bin/touch"), {marker}, 10000});
  QStringList log;
  actions(store, mailer, &log).sendCompletionMail({QStringLiteral("/a.nc")});

  ASSERT_EQ(view_.messages.size(), 1);
  EXPECT_TRUE(view_.messages[0].startsWith(QStringLiteral("1\r"))) << view_.messages[0].toStdString();
  EXPECT_EQ(view_.icons[0], MessageIcon::Warning);
  EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(CompletionActionsTest, ShutdownStoresOnlyTheStartSlotThenPowersOffThenEnds) {
  const QByteArray before = cp932("[COM1]\r\nｽﾋﾟｰﾄﾞ=4800\r\n[参照]\r\nadress=old@example.com\r\n開始ポート=2\r\n"
                                  "window_width=5000\r\nwindow_height=4000\r\n; kept\r\n");
  writeBytes(iniPath(), before);
  SettingsStore store(iniPath());
  store.loadSettings();
  store.loadWindowSize();
  // Unsaved changes of every kind that a shutdown must leave out of the file.
  store.app().currentProfile = 10;
  store.app().mailAddress = QStringLiteral("new@example.com");
  store.app().windowWidth = 9999;
  store.app().shutdownAfterSend = 1;
  store.profile(1).baudRate = QStringLiteral("19200");

  ScriptedMailer mailer;
  QStringList log;
  QByteArray atPowerOff;
  actions(store, mailer, &log, &atPowerOff).shutDownSystem();

  const QByteArray expected = cp932("[COM1]\r\nｽﾋﾟｰﾄﾞ=4800\r\n[参照]\r\nadress=old@example.com\r\n開始ポート=10\r\n"
                                    "window_width=5000\r\nwindow_height=4000\r\n; kept\r\n");
  EXPECT_EQ(log, (QStringList{QStringLiteral("power-off"), QStringLiteral("end")}));
  EXPECT_EQ(atPowerOff, expected) << "the slot is on disk before the power-off is requested";
  EXPECT_EQ(test::readTestFile(iniPath()), expected);
  EXPECT_TRUE(mailer.sent.isEmpty());
  EXPECT_TRUE(view_.messages.isEmpty());
}

TEST_F(CompletionActionsTest, ShutdownCreatesTheSettingsFileWithTheSlotAlone) {
  SettingsStore store(iniPath());
  store.app().currentProfile = 3;
  ScriptedMailer mailer;
  QStringList log;
  actions(store, mailer, &log).shutDownSystem();

  EXPECT_EQ(test::readTestFile(iniPath()), cp932("[参照]\r\n開始ポート=3\r\n"));
  EXPECT_EQ(log, (QStringList{QStringLiteral("power-off"), QStringLiteral("end")}));
}

TEST_F(CompletionActionsTest, ShutdownGoesOnWhenTheSettingsFileCannotBeWritten) {
  // A folder in place of the file: the write fails, the power-off and the end still follow.
  ASSERT_TRUE(QDir(dir_.path()).mkpath(iniPath()));
  SettingsStore store(iniPath());
  ScriptedMailer mailer;
  QStringList log;
  actions(store, mailer, &log).shutDownSystem();

  EXPECT_EQ(log, (QStringList{QStringLiteral("power-off"), QStringLiteral("end")}));
  EXPECT_TRUE(view_.messages.isEmpty());
}

}  // namespace
}  // namespace korvane
