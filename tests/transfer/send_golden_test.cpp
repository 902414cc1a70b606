// Every case folder under tests/data/send runs through the send engine over an in-memory port;
// the bytes on the line must equal the case's wire.hex exactly.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/recording_view.h"
#include "support/send_case.h"
#include "transfer/send_engine.h"

using namespace korvane;
using namespace korvane::test;

namespace {

// Serves "window events": here, the operator pressing 中断 once enough bytes have left.
class AbortingPump final : public EventPump {
 public:
  AbortingPump(FakeSerialPort& port, std::atomic<bool>& cancel, qsizetype after)
      : port_(port), cancel_(cancel), after_(after) {}
  void serveEvents() override {
    if (after_ >= 0 && port_.wire.size() >= after_) cancel_ = true;
  }

 private:
  FakeSerialPort& port_;
  std::atomic<bool>& cancel_;
  qsizetype after_;
};

QString outcomeName(SendOutcome o) {
  switch (o) {
    case SendOutcome::NotStarted: return QStringLiteral("NotStarted");
    case SendOutcome::Completed: return QStringLiteral("Completed");
    case SendOutcome::Aborted: return QStringLiteral("Aborted");
    case SendOutcome::Failed: return QStringLiteral("Failed");
  }
  return {};
}

class SendGolden : public ::testing::TestWithParam<SendCase> {};

}  // namespace

TEST_P(SendGolden, WireMatches) {
  const SendCase& c = GetParam();
  QTemporaryDir dir;
  SettingsStore store(dir.filePath(QStringLiteral("korvane.ini")));
  store.loadSettings();
  c.applyTo(store.profile(1));

  FakeClock clock;
  FakeSerialPort port(clock);
  RecordingView view;
  std::atomic<bool> cancel{false};
  AbortingPump pump(port, cancel, c.abortAfterBytes);
  if (!c.machineSends.isEmpty()) clock.at(300, [&] { port.feed(c.machineSends); });
  TransferContext context{port, view, pump, clock, cancel};
  int mails = 0;
  SendEngine engine(store, context, {[&](const QStringList&) { ++mails; }, nullptr});

  const SendOutcome outcome = engine.press(c.rows);

  writeGoldenIfAsked(c, port.wire);
  EXPECT_EQ(toHex(port.wire).toStdString(), toHex(c.expectedWire).toStdString());
  EXPECT_EQ(outcomeName(outcome), c.expectOutcome);
  const QString lastMessage = view.messages.isEmpty() ? QString() : view.messages.last();
  EXPECT_EQ(lastMessage, c.expectMessage.isEmpty() ? kSendDoneMessage : c.expectMessage);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(engine.running());
  EXPECT_EQ(view.events.last(), QStringLiteral("leave send"));
}

INSTANTIATE_TEST_SUITE_P(Cases, SendGolden, ::testing::ValuesIn(loadSendCases()),
                         [](const ::testing::TestParamInfo<SendCase>& info) { return info.param.name.toStdString(); });
