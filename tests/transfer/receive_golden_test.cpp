// Every case folder under tests/data/receive runs through the receive engine over an in-memory
// port; the files left in the target folder must equal the case's expected files byte for byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/receive_case.h"
#include "support/recording_view.h"
#include "support/send_case.h"
#include "transfer/receive_engine.h"

using namespace korvane;
using namespace korvane::test;

namespace {

class ScriptedUi final : public ReceiveUi {
 public:
  ScriptedUi(int method, QString folder) : method_(method), folder_(std::move(folder)) {}
  std::optional<ReceiveMethod> chooseMethod() override { return static_cast<ReceiveMethod>(method_); }
  QString chooseFolder() override { return folder_; }
  void clearFileList() override { rows.clear(); }
  void addFiles() override { rows << QDir(folder_).filePath("out.nc"); }
  QStringList fileListRows() const override { return rows; }
  void appendFileListRow(const QString& row) override { rows << row; }
  void setListTextBlue(bool b) override { blue = b; }
  void openFolder(const QString& folder) override { opened << folder; }

  QStringList rows;
  QStringList opened;
  bool blue = false;

 private:
  int method_;
  QString folder_;
};

// The machine: hands over one chunk each time the line is quiet, and, when the case says so,
// the operator aborts once everything has been taken in.
class MachinePump final : public EventPump {
 public:
  MachinePump(FakeSerialPort& port, std::atomic<bool>& cancel, const ReceiveCase& c)
      : port_(port), cancel_(cancel), c_(c) {}
  void serveEvents() override {
    if (!port_.isOpen() || port_.inBufferCount() > 0) return;
    if (next_ < c_.chunks.size()) {
      port_.feed(c_.chunks[next_++]);
    } else if (c_.abort || ++idle_ > 1000) {
      cancel_ = true;
    }
  }
  int idle() const { return idle_; }

 private:
  FakeSerialPort& port_;
  std::atomic<bool>& cancel_;
  const ReceiveCase& c_;
  qsizetype next_ = 0;
  int idle_ = 0;
};

QString outcomeName(ReceiveOutcome o) {
  switch (o) {
    case ReceiveOutcome::NotStarted: return "NotStarted";
    case ReceiveOutcome::Completed: return "Completed";
    case ReceiveOutcome::Aborted: return "Aborted";
    case ReceiveOutcome::Failed: return "Failed";
  }
  return {};
}

class ReceiveGolden : public ::testing::TestWithParam<ReceiveCase> {};

}  // namespace

TEST_P(ReceiveGolden, FilesMatch) {
  const ReceiveCase& c = GetParam();
  QTemporaryDir settingsDir;
  QTemporaryDir target;
  SettingsStore store(settingsDir.filePath("korvane.ini"));
  store.loadSettings();
  SendCase fields;
  fields.fields = c.fields;
  fields.applyTo(store.profile(1));
  store.app().fileFilter = c.filter;

  FakeClock clock;
  FakeSerialPort port(clock);
  RecordingView view;
  std::atomic<bool> cancel{false};
  MachinePump pump(port, cancel, c);
  ScriptedUi ui(c.method, target.path());
  TransferContext context{port, view, pump, clock, cancel};
  ReceiveEngine engine(store, context, ui);

  const ReceiveOutcome outcome = engine.press();

  EXPECT_LE(pump.idle(), 1000) << "the reception never ended by itself";
  EXPECT_EQ(outcomeName(outcome), c.expectOutcome);
  QStringList actualFiles = QDir(target.path()).entryList(QDir::Files, QDir::Name);
  EXPECT_EQ(actualFiles, QStringList(c.expectedFiles.keys()));
  for (auto it = c.expectedFiles.begin(); it != c.expectedFiles.end(); ++it) {
    QFile f(QDir(target.path()).filePath(it.key()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << it.key().toStdString();
    EXPECT_EQ(f.readAll().toStdString(), it.value().toStdString()) << it.key().toStdString();
  }
  if (!c.expectStatus.isEmpty()) {
    EXPECT_EQ(view.statusTexts.last(), c.expectStatus);
  }
  EXPECT_EQ(port.wire.toHex(' ').toStdString(), c.expectSent.toHex(' ').toStdString());
  EXPECT_TRUE(port.receiveFlowBytes) << "DC1/DC3 bytes must reach the reception";
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(view.messages.last(), c.expectOutcome == "Completed" ? kReceiveDoneMessage : kReceiveAbortedMessage);
  EXPECT_EQ(view.events.last(), "leave receive");
  EXPECT_FALSE(ui.blue);
  if (c.method == 1) {
    EXPECT_EQ(ui.rows, QStringList{kDirRowPrefix + target.path()});
    EXPECT_EQ(ui.opened, c.expectOutcome == "Completed" ? QStringList{target.path()} : QStringList{});
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReceiveGolden, ::testing::ValuesIn(loadReceiveCases()),
                         [](const ::testing::TestParamInfo<ReceiveCase>& info) { return info.param.name.toStdString(); });
