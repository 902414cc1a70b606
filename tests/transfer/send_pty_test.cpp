// The golden send cases once more, over a real pseudo-terminal and the POSIX port layer: what
// the far end reads must be exactly the case's bytes. The fixed pauses run on a fake clock; the
// port's own waits are real.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "platform/serial/serial_port_factory.h"
#include "settings/settings_store.h"
#include "support/fake_clock.h"
#include "support/pty_pair.h"
#include "support/recording_view.h"
#include "support/send_case.h"
#include "transfer/send_engine.h"

using namespace korvane;
using namespace korvane::test;

namespace {

// The machine's side: reads everything that arrives and, once the first byte came, answers
// with the case's bytes (the go-ahead of a DC1 wait).
class FarEnd {
 public:
  FarEnd(int fd, QByteArray answer) : fd_(fd), answer_(std::move(answer)) {
    thread_ = std::thread([this] { loop(); });
  }
  ~FarEnd() { stop(); }
  QByteArray stop() {
    if (thread_.joinable()) {
      done_ = true;
      thread_.join();
    }
    return received_;
  }

 private:
  void loop() {
    int quietRounds = 0;
    bool answered = answer_.isEmpty();
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, 20);
      char buffer[256];
      const ssize_t n = ready > 0 ? ::read(fd_, buffer, sizeof buffer) : 0;
      if (n > 0) {
        received_.append(buffer, n);
        quietRounds = 0;
        if (!answered) {
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          ASSERT_EQ(::write(fd_, answer_.constData(), answer_.size()), answer_.size());
          answered = true;
        }
      } else if (done_ && ++quietRounds > 5) {
        return;
      }
    }
  }

  int fd_;
  QByteArray answer_;
  QByteArray received_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

class SendOverPty : public ::testing::TestWithParam<SendCase> {};

std::vector<SendCase> ptyCases() {
  std::vector<SendCase> cases;
  for (const SendCase& c : loadSendCases()) {
    if (c.abortAfterBytes < 0) cases.push_back(c);  // the operator's abort is covered in memory
  }
  return cases;
}

}  // namespace

TEST_P(SendOverPty, FarEndReadsExactlyTheCaseBytes) {
  const SendCase& c = GetParam();
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  TempWindir windir;
  ASSERT_TRUE(windir.linkComPort(1, pty.slavePath()));
  SettingsStore store(windir.iniPath());
  store.loadSettings();
  c.applyTo(store.profile(1));

  auto port = makeSerialPort(store.iniPath());
  FakeClock clock;
  RecordingView view;
  NullEventPump pump;
  std::atomic<bool> cancel{false};
  TransferContext context{*port, view, pump, clock, cancel};
  SendEngine engine(store, context, {});

  FarEnd machine(pty.masterFd(), c.machineSends);
  engine.press(c.rows);
  const QByteArray wire = machine.stop();

  EXPECT_EQ(toHex(wire).toStdString(), toHex(c.expectedWire).toStdString());
  EXPECT_FALSE(view.messages.isEmpty());
  EXPECT_EQ(view.messages.last(), c.expectMessage.isEmpty() ? kSendDoneMessage : c.expectMessage);
}

INSTANTIATE_TEST_SUITE_P(Cases, SendOverPty, ::testing::ValuesIn(ptyCases()),
                         [](const ::testing::TestParamInfo<SendCase>& info) { return info.param.name.toStdString(); });
