// How a send job behaves around the wire: questions, failures, abort, pacing and what the
// operator sees. The bytes themselves are covered by the golden cases.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <limits>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/recording_view.h"
#include "transfer/program_reader.h"
#include "transfer/send_engine.h"
#include "support/test_files.h"

using namespace korvane;
using namespace korvane::test;

namespace {

class CallbackPump final : public EventPump {
 public:
  std::function<void()> onServe;
  int served = 0;
  void serveEvents() override {
    ++served;
    if (onServe) onServe();
  }
};

class SendEngineTest : public ::testing::Test {
 protected:
  SendEngineTest() : store(dir.filePath(QStringLiteral("korvane.ini"))), port(clock) {
    store.loadSettings();
    store.profile(1).ignorePercent = 1;
  }

  QString program(const QString& name, const QByteArray& text) { return test::writeTestFile(dir.path(), name, text); }

  SendOutcome press(const QStringList& rows) { return engine.press(rows); }

  QTemporaryDir dir;
  SettingsStore store;
  FakeClock clock;
  FakeSerialPort port;
  RecordingView view;
  CallbackPump pump;
  std::atomic<bool> cancel{false};
  TransferContext context{port, view, pump, clock, cancel};
  QList<QStringList> mails;
  int shutdowns = 0;
  SendEngine engine{store, context,
                    {[this](const QStringList& rows) { mails << rows; }, [this] { ++shutdowns; }}};
};

}  // namespace

TEST_F(SendEngineTest, EmptyListDoesNothing) {
  EXPECT_EQ(press({}), SendOutcome::NotStarted);
  EXPECT_EQ(port.openCount, 0);
  EXPECT_TRUE(view.messages.isEmpty());
}

TEST_F(SendEngineTest, PortThatCannotOpenShowsItsTextAndStartsNothing) {
  port.failOpen = true;
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::NotStarted);
  EXPECT_EQ(view.messages, QStringList{port.openError.description});
  EXPECT_TRUE(view.events.isEmpty()) << "the window was never switched to sending";
}

TEST_F(SendEngineTest, ProfileDrivesTheLineSettings) {
  PortProfile& p = store.profile(3);
  p.baudRate = "4800";
  p.parity = "E";
  p.dataBits = "7";
  p.stopBits = "1";
  p.handshake = 1;
  p.portNumber = 4;
  store.app().currentProfile = 3;
  press({program("a.nc", "G1\n")});
  EXPECT_EQ(port.settingsAtOpen, QList<QString>{"4800,E,7,1"});
  EXPECT_EQ(port.commPort(), 4);
  EXPECT_EQ(port.handshakeAtOpen, QList<int>{1});
  EXPECT_TRUE(port.highBitFlow) << "0x93 must count as DC3 under XON/XOFF";
}

TEST_F(SendEngineTest, NoMachineSelectedRefusesWithAMessage) {
  store.app().currentProfile = 0;
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::NotStarted);
  EXPECT_EQ(port.openCount, 0);
  EXPECT_EQ(view.messages.size(), 1);
}

TEST_F(SendEngineTest, ShutdownQuestionAnsweredNoStartsNothing) {
  store.app().shutdownAfterSend = 1;
  view.answerYes = false;
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::NotStarted);
  EXPECT_EQ(view.messages, QStringList{"送信終了後システムを停止します。\rよろしいですか？"});
  EXPECT_EQ(port.openCount, 0);
  EXPECT_EQ(shutdowns, 0);
}

TEST_F(SendEngineTest, NormalEndMailsThenShutsDownWithoutFinalMessage) {
  store.app().shutdownAfterSend = 1;
  store.app().mailAfterSend = 1;
  const QStringList rows{program("a.nc", "G1\n"), program("b.nc", "G2\n")};
  EXPECT_EQ(press(rows), SendOutcome::Completed);
  EXPECT_EQ(mails, QList<QStringList>{rows});
  EXPECT_EQ(shutdowns, 1);
  EXPECT_FALSE(view.messages.contains(kSendDoneMessage));
}

TEST_F(SendEngineTest, NormalEndReportsAndRestoresTheWindow) {
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Completed);
  EXPECT_EQ(view.caption, kSendDoneCaption);
  EXPECT_EQ(view.messages.last(), kSendDoneMessage);
  EXPECT_EQ(view.events.first(), "enter send");
  EXPECT_EQ(view.events.last(), "leave send");
  EXPECT_FALSE(view.listSending);
  EXPECT_TRUE(view.selectedRows.isEmpty());
  EXPECT_TRUE(mails.isEmpty()) << "mail is off by default";
}

TEST_F(SendEngineTest, StatusShowsLineNumberAndTextAndProgressReachesTheEnd) {
  QByteArray text;
  for (int i = 1; i <= 11; ++i) text += "N" + QByteArray::number(i) + "\n";
  text += "G01X10.F100\n";
  press({program("a.nc", text)});
  EXPECT_TRUE(view.statusTexts.contains("12 : G01X10.F100"));
  EXPECT_EQ(view.progressMax, text.size());
  EXPECT_EQ(view.progress, text.size());
}

TEST_F(SendEngineTest, UnreadableFileEndsAsFailedWithoutCompletionActions) {
  store.app().mailAfterSend = 1;
  store.app().shutdownAfterSend = 1;
  const QString missing = dir.filePath("missing.nc");
  EXPECT_EQ(press({program("a.nc", "G1\n"), missing, program("c.nc", "G3\n")}), SendOutcome::Failed);
  ASSERT_GE(view.messages.size(), 3);
  EXPECT_TRUE(view.messages[1].endsWith("\r\n" + missing)) << view.messages[1].toStdString();
  EXPECT_EQ(view.messages.last(), kSendAbortedMessage);
  EXPECT_EQ(view.selectedRows, QList<int>{1}) << "the failing row stays selected";
  EXPECT_TRUE(mails.isEmpty());
  EXPECT_EQ(shutdowns, 0);
}

// The machine holds the line (DC3) just as the closing "%" is written. It must leave as soon as
// the machine lets it, not wait out the pause before the port closes: the machine would count
// those two seconds as a program that has not ended.
TEST_F(SendEngineTest, ClosingPercentLeavesWhenReleasedNotAfterThePause) {
  const QString a = program("a.nc", "G1\n");
  EXPECT_EQ(press({a}), SendOutcome::Completed);
  const QByteArray wire = port.wire;
  ASSERT_TRUE(wire.endsWith(QByteArray(1, char(0xA5)))) << "the closing % is the last byte";

  port.wire.clear();
  port.wireTimes.clear();
  port.holdAfter = wire.size() - 1;
  port.holdForMs = 300;
  EXPECT_EQ(press({a}), SendOutcome::Completed);
  ASSERT_EQ(port.wire, wire);
  const qint64 heldFrom = port.wireTimes[wire.size() - 2];
  EXPECT_LE(port.wireTimes.last(), heldFrom + 300 + kEventSliceMs);
  EXPECT_GE(clock.nowMs() - port.wireTimes.last(), 2000) << "the pause before closing still follows";
}

TEST_F(SendEngineTest, PortLostMidFileEndsWithItsTextAndNoCompletion) {
  store.app().mailAfterSend = 1;
  port.loseDeviceAfter = 4;
  EXPECT_EQ(press({program("a.nc", "G1X2Y3\nG1X4\n")}), SendOutcome::Failed);
  EXPECT_EQ(view.messages.last(), "デバイスが切断されました");
  EXPECT_FALSE(view.messages.contains(kSendDoneMessage));
  EXPECT_TRUE(mails.isEmpty());
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(view.events.last(), "leave send");
}

TEST_F(SendEngineTest, DcOneWaitDrainsDc2ReopensWithoutHandshakeAndRestoresIt) {
  PortProfile& p = store.profile(1);
  p.useDc1 = 1;
  p.useDc2Dc4 = 1;
  clock.at(1000, [&] { port.feed(QByteArray("\x11", 1)); });
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Completed);
  ASSERT_GE(port.closedAfter.size(), 1);
  EXPECT_EQ(port.closedAfter.first(), 1) << "DC2 was on the line before the port closed";
  EXPECT_EQ(port.handshakeAtOpen, (QList<int>{3, 0}));
  EXPECT_EQ(port.handshaking, 3) << "handshaking restored while open";
  EXPECT_GE(port.wireTimes[1], 1000) << "nothing after DC2 before the machine's go-ahead";
}

TEST_F(SendEngineTest, AbortWhileWaitingForDcOneOpensNoFile) {
  store.profile(1).useDc1 = 1;
  clock.at(5000, [&] { engine.press({"x"}); });  // the button pressed again while the job waits
  EXPECT_EQ(press({dir.filePath("never-opened.nc")}), SendOutcome::Aborted);
  EXPECT_TRUE(view.selectedRows.isEmpty()) << "no row was taken up";
  EXPECT_EQ(view.messages, QStringList{kSendAbortedMessage});
  EXPECT_EQ(port.wire.toHex(), "a5") << "only the closing %";
}

TEST_F(SendEngineTest, AbortWhileMachineHoldsTheLineForGoodStillEnds) {
  store.profile(1).useDc2Dc4 = 1;
  port.held = true;  // the machine sent DC3 and never DC1
  clock.at(60'000, [&] { cancel = true; });
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Aborted);
  EXPECT_LT(clock.nowMs(), 70'000) << "gave up soon after the abort";
  EXPECT_EQ(view.messages.last(), kSendAbortedMessage);
  EXPECT_FALSE(port.isOpen());
}

// Metres of leader on a slow line take minutes; the abort must not wait for its end, nor for
// an equally long trailing feed after it.
TEST_F(SendEngineTest, AbortDuringALongLeaderStopsItAndCutsTheTrailingFeed) {
  PortProfile& p = store.profile(1);
  p.feedEnabled = 1;
  p.feedLength = 10000;   // 39370 frames, the longest leader a profile may ask for
  p.feedLength2 = 10000;
  p.useDc2Dc4 = 1;
  pump.onServe = [&] {
    if (port.wire.size() >= 200) cancel = true;
  };
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Aborted);
  const qsizetype leader = port.wire.indexOf(char(0xA5));
  ASSERT_GT(leader, 0) << port.wire.left(8).toHex().toStdString();
  EXPECT_LE(leader, 210) << "the leader stopped within a frame or two of the abort";
  EXPECT_FALSE(port.wire.contains("G")) << "no program text after the abort";
  const QByteArray tail = port.wire.mid(leader + 1);
  ASSERT_TRUE(tail.endsWith(char(0x14))) << "DC4 still ends the tape";
  EXPECT_EQ(tail.size() - 1, framesPerSecond(p)) << "the trailing feed is cut to one second of line time";
  EXPECT_EQ(framesPerSecond(p), 9600 / 11);
}

TEST_F(SendEngineTest, AbortEndsAHugeCharacterDelayAndTheClosingBytesGoWithoutIt) {
  PortProfile& p = store.profile(1);
  p.waitEnabled = 1;
  p.waitTime = 10'000'000;
  p.useDc2Dc4 = 1;
  clock.at(30'000'000, [&] { cancel = true; });  // during the third delay
  EXPECT_EQ(press({program("a.nc", "G1X1\n")}), SendOutcome::Aborted);
  EXPECT_LT(clock.nowMs(), 30'000'000 + 3000) << "the delay under way ended with the abort";
  ASSERT_GE(port.wire.size(), 2);
  EXPECT_EQ(port.wire.toHex(), "120aa5a514") << "the G held back by the delay stays unsent";
}

TEST_F(SendEngineTest, HeldOutputWaitsWithoutWritingAndGoesOnAfterRelease) {
  port.held = true;
  clock.at(7000, [&] { port.held = false; });
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Completed);
  ASSERT_GE(port.wireTimes.size(), 2);
  EXPECT_GE(port.wireTimes[0], 7000);
  EXPECT_LT(port.wireTimes[0], 7000 + 2 * kEventSliceMs) << "resumed within a slice, not a 5 s step";
}

TEST_F(SendEngineTest, ModemLinesDownHoldEveryWriteUntilTheyComeUp) {
  port.modemLines = false;
  clock.at(3000, [&] { port.modemLines = true; });
  press({program("a.nc", "G1\n")});
  EXPECT_GE(port.wireTimes.first(), 3000);
  store.profile(1).checkDcdDsr = 0;
  port.modemLines = false;
  const qsizetype before = port.wire.size();
  press({program("a.nc", "G1\n")});
  EXPECT_GT(port.wire.size(), before) << "with the check off the lines are not looked at";
}

TEST_F(SendEngineTest, WaitTimePacesEveryDataByte) {
  PortProfile& p = store.profile(1);
  p.waitEnabled = 1;
  p.waitTime = 100;
  press({program("a.nc", "G1\n")});
  ASSERT_EQ(port.wireTimes.size(), 6);
  for (int i = 1; i < port.wireTimes.size(); ++i) EXPECT_GE(port.wireTimes[i] - port.wireTimes[i - 1], 100);
}

TEST_F(SendEngineTest, PressWhileRunningOnlyAsksToStop) {
  int nested = -1;
  pump.onServe = [&] {
    if (nested < 0 && port.wire.size() >= 3) nested = static_cast<int>(engine.press({"other"}));
  };
  EXPECT_EQ(press({program("a.nc", "G1X1\nG1X2\nG1X3\n")}), SendOutcome::Aborted);
  EXPECT_EQ(nested, static_cast<int>(SendOutcome::NotStarted));
  EXPECT_EQ(port.openCount, 1) << "no second job on the port";
}

// A byte that is no character cannot be sent as the character the file meant: the job is refused
// before anything reaches the machine, and the operator learns which byte of which file.
TEST_F(SendEngineTest, ByteThatIsNoCharacterRefusesTheJobBeforeAnythingGoesOut) {
  const QString good = program("a.nc", "(\x83\x65\x83\x58\x83\x67 \xB1)\nG1\n");  // テスト and a half-width katakana
  const QString bad = program("b.nc", "G1X1\nG1\xFFY2\n");
  EXPECT_EQ(press({good, bad}), SendOutcome::NotStarted);
  EXPECT_EQ(port.openCount, 0);
  EXPECT_TRUE(port.wire.isEmpty());
  ASSERT_EQ(view.messages.size(), 1);
  EXPECT_TRUE(view.messages[0].contains("0xFF, 8 バイト目")) << view.messages[0].toStdString();
  EXPECT_TRUE(view.messages[0].endsWith("\r\n" + bad));
  EXPECT_EQ(press({good}), SendOutcome::Completed) << "valid Shift-JIS comments still go";
}

TEST(ProgramReader, FindsTheFirstByteThatStartsNoCharacter) {
  QTemporaryDir dir;
  auto firstInvalid = [&](const QByteArray& bytes) -> qint64 {
    ProgramReader reader(test::writeTestFile(dir.path(), "p.nc", bytes));
    std::optional<InvalidByte> found;
    EXPECT_TRUE(reader.open() && reader.findInvalidByte(&found));
    return found ? found->offset : -1;
  };
  EXPECT_EQ(firstInvalid("G1\n\x83\x65\xB1\xE3\x83\x86\n"), -1) << "Shift-JIS, katakana, UTF-8";
  EXPECT_EQ(firstInvalid("G1\x80"), 2);
  EXPECT_EQ(firstInvalid("G1\xA0"), 2);
  EXPECT_EQ(firstInvalid("G1\xFD\x40"), 2);
  EXPECT_EQ(firstInvalid("G1\x83"), 2) << "a lead byte cut off by the end of the file";
  EXPECT_EQ(firstInvalid("G1\x83\x0A"), 2) << "a lead byte before a line end";
  // A double-byte character across the reader's 64 KiB chunks is one character.
  QByteArray across(64 * 1024 - 1, 'X');
  EXPECT_EQ(firstInvalid(across + "\x83\x65"), -1);
  EXPECT_EQ(firstInvalid(across + "\x83"), 64 * 1024 - 1);
}

TEST(SendHelpers, FeedFramesRoundHalfToEven) {
  EXPECT_EQ(feedFrames(2.54), 10);
  EXPECT_EQ(feedFrames(5.08), 20);
  EXPECT_EQ(feedFrames(0.381), 2);   // 1.5 frames
  EXPECT_EQ(feedFrames(0.635), 2);   // 2.5 frames
  EXPECT_EQ(feedFrames(1), 4);       // 3.94 frames
}

TEST(SendHelpers, ElapsedTextHasTwoDigitFields) {
  EXPECT_EQ(elapsedText(207'000), "00 : 03 : 27");
  EXPECT_EQ(elapsedText(0), "00 : 00 : 00");
  EXPECT_EQ(elapsedText(100 * 3600'000LL + 59'999), "100 : 00 : 59");
}

TEST_F(SendEngineTest, AFeedLengthBeyondAnyTapeIsRefusedBeforeAnythingGoesOut) {
  // 1e308 cm once overflowed the frame count and the send reported success without a leader.
  for (const auto& [leading, trailing] : {std::pair{1e308, 10.0}, std::pair{10.0, 1e308},
                                          std::pair{std::numeric_limits<double>::max(), 0.0},
                                          std::pair{kMaxFeedLengthCm + 1, 0.0}}) {
    store.profile(1).feedEnabled = 1;
    store.profile(1).feedLength = leading;
    store.profile(1).feedLength2 = trailing;
    view.messages.clear();
    EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::NotStarted) << leading << ' ' << trailing;
    EXPECT_EQ(view.messages, QStringList{feedLengthLimitMessage()});
    EXPECT_EQ(port.openCount, 0);
    EXPECT_TRUE(port.wire.isEmpty());
  }
  // The longest feed there is still goes out whole, and a switched-off feed is no reason to refuse.
  EXPECT_EQ(feedFrames(kMaxFeedLengthCm), 39370);
  store.profile(1).feedEnabled = 0;
  store.profile(1).feedLength = 1e308;
  EXPECT_EQ(press({program("a.nc", "G1\n")}), SendOutcome::Completed);
  EXPECT_FALSE(port.wire.contains('\0'));
}
