// The receive engine on arbitrary bytes from the line, into one file or into a folder of
// programs named by their numbers, with either tape code: whatever arrives, the reception ends
// (the line is lost once every byte is in) and every file it leaves holds whole lines only.
#include <QDirIterator>

#include "fuzz_support.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "transfer/receive_engine.h"

using namespace korvane;

namespace {

// The far end: hands the bytes out a few at a time, then the line is gone.
class LinePort final : public SerialPort {
 public:
  explicit LinePort(QByteArray bytes, qsizetype step) : bytes_(std::move(bytes)), step_(step) {}
  void setCommPort(int number) override { number_ = number; }
  int commPort() const override { return number_; }
  void setSettings(const QString&) override {}
  void setHandshaking(int) override {}
  void setRtsEnable(bool) override {}
  void setDtrEnable(bool) override {}
  void setNullDiscard(bool) override {}
  void setHighBitFlowControl(bool) override {}
  void setReceiveFlowBytes(bool) override {}
  bool open(PortError*) override { return open_ = true; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  bool output(quint8) override { return true; }
  int outBufferCount() override { return 0; }
  int inBufferCount() override { return static_cast<int>(std::min(step_, bytes_.size() - at_)); }
  QByteArray input() override {
    const QByteArray piece = bytes_.mid(at_, step_);
    at_ += piece.size();
    return piece;
  }
  bool dsrHolding() override { return true; }
  bool cdHolding() override { return true; }
  void waitForInput(int) override {}
  void waitForOutput(int) override {}
  std::optional<PortError> failure() const override {
    if (at_ < bytes_.size()) return std::nullopt;
    return PortError{kErrDeviceLost, QStringLiteral("line lost")};
  }

 private:
  QByteArray bytes_;
  qsizetype step_;
  qsizetype at_ = 0;
  int number_ = 1;
  bool open_ = false;
};

// Time passes only when the engine waits, so no run waits for real.
class StepClock final : public Clock {
 public:
  qint64 nowMs() const override { return now_; }
  void sleepMs(int ms) override { now_ += std::max(ms, 1); }

 private:
  qint64 now_ = 0;
};

class Choices final : public ReceiveUi {
 public:
  Choices(ReceiveMethod method, QString target) : method_(method), target_(std::move(target)) {}
  std::optional<ReceiveMethod> chooseMethod() override { return method_; }
  QString chooseFolder() override { return target_; }
  void clearFileList() override { rows_.clear(); }
  void addFiles() override { rows_ << target_; }
  QStringList fileListRows() const override { return rows_; }
  void appendFileListRow(const QString& row) override { rows_ << row; }
  void setListTextBlue(bool) override {}
  void openFolder(const QString&) override {}

 private:
  ReceiveMethod method_;
  QString target_;
  QStringList rows_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the method, the tape code and how the bytes are cut.
  const quint8 choice = data[0];
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  QDir work(fuzz::folder());
  work.removeRecursively();
  QDir().mkpath(work.path());
  const QString ini = work.filePath(QStringLiteral("korvane.ini"));
  SettingsStore store(ini);
  store.loadSettings();
  store.profile(1).tapeCode = (choice & 1) ? 1 : 0;
  store.profile(1).useDc1 = 0;
  const bool folder = choice & 2;
  const QString target = work.filePath(folder ? QStringLiteral("programs") : QStringLiteral("received.nc"));
  if (folder) QDir().mkpath(target);

  LinePort port(bytes, (choice >> 2) % 7 + 1);
  UnwatchedTransferView view;
  NullEventPump pump;
  StepClock clock;
  std::atomic<bool> cancel{false};
  Choices ui(folder ? ReceiveMethod::FolderPerProgram : ReceiveMethod::OneFile, target);
  ReceiveEngine engine(store, TransferContext{port, view, pump, clock, cancel}, ui);
  engine.press();

  // Files hold whole lines: CR LF after the last one, never a bare CR or LF inside.
  QDirIterator files(work.path(), {QStringLiteral("*")}, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    const QString path = files.next();
    if (path == ini) continue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = file.readAll();
    if (!text.isEmpty() && !text.endsWith("\r\n")) fuzz::fail("a received file ends inside a line");
    if (QByteArray(text).replace("\r\n", "").contains('\n')) fuzz::fail("a bare LF in a received file");
  }
  return 0;
}
