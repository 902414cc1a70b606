#pragma once
// One machine served unattended: its line stays open, whatever it punches is received as a
// reception does and stored by program number, a punched request for a program is answered once
// the machine asks for data with DC1, and a lost line is reopened until it is back. The same
// send engine as the window's does the sending. Synchronous: the service runs one per thread.

#include <QString>
#include <QStringList>
#include <atomic>
#include <utility>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial/serial_port.h"
#include "settings/settings_store.h"
#include "transfer/durable_line_file.h"
#include "transfer/service/held_port.h"
#include "transfer/service/program_request.h"
#include "transfer/service/program_shelf.h"
#include "transfer/service/service_log.h"
#include "transfer/transfer_view.h"

namespace korvane {

struct ServiceTimes {
  int answerWaitMs = 300'000;  // from a request to the machine's DC1: the operator walks to the panel
  int quietLimitMs = 30'000;   // a tape that stops this long in the middle did not end
  int retryMs = 5'000;         // between attempts to reopen a line that is lost or busy
};

// What a send shows, kept for the log instead of a window.
class ServiceView final : public UnwatchedTransferView {
 public:
  void showMessage(const QString& text, MessageIcon icon) override;
  QStringList takeMessages() { return std::exchange(messages_, {}); }

 private:
  QStringList messages_;
};

class MachineService {
 public:
  // settings: the loaded settings (copied: each machine keeps its own). line: closed, owned by
  // the caller, used by this machine only.
  MachineService(const SettingsStore& settings, int slot, SerialPort& line, Clock& clock, ServiceLog& log,
                 ServiceTimes times = {});

  // Why this machine cannot be served (no receive folder), or empty.
  QString setUpProblem() const;
  // Serves until requestStop(); closes the line before it returns.
  void run();
  // From any thread: ends run() soon, a transfer under way as an abort does.
  void requestStop();

 private:
  class StopPump final : public EventPump {
   public:
    explicit StopPump(MachineService& service) : service_(service) {}
    void serveEvents() override;

   private:
    MachineService& service_;
  };

  const PortProfile& profile() const { return store_.profile(slot_); }
  void configureForReception();
  bool openLine();
  void sendReadyCode();
  void pauseUnlessStopped(int ms);
  void serveBytes(const QByteArray& bytes);
  // Takes one character that arrives outside a tape: false when it starts none.
  bool beforeTape(QChar c);
  void startTape(bool midBlock);
  void endLine();
  void tapeEnded();
  void keepMidBlockTape();
  void tapeBroken(const QString& reason);
  void recoverLeftover();
  // Why the tape that ends now may differ from what the machine punched: its parity faults.
  QString takeParityFaults();
  void answer(const ProgramRequest& request);
  bool waitForGoAhead(const QString& program);
  // Sends the file at path; shown is what the log names as sent.
  void send(const QString& path, const QString& program, const QString& shown);
  void logSkipped(const QString& program, const QList<SkippedFile>& skipped);
  void log(const QString& direction, const QString& program, qint64 bytes, const QString& result,
           const QString& file = QString(), const QString& reason = QString());

  SettingsStore store_;
  int slot_;
  SerialPort& line_;
  HeldPort port_;
  Clock& clock_;
  ServiceLog& log_;
  ServiceTimes times_;
  ProgramShelf shelf_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cancel_{false};
  ServiceView view_;
  StopPump pump_{*this};

  bool inTape_ = false;
  bool contentSeen_ = false;  // a block other than the frame has arrived: the next "%" ends the tape
  bool midBlock_ = false;     // the tape's start was not seen: it began in the middle of a block
  // Outside a tape: whether the line stands between blocks (an end of block or a tape's end came
  // last), and what arrived since that is neither leader nor "%", a label or a block's rest.
  bool atBlockBoundary_ = false;
  QString beforeTape_;
  int droppedParity_ = 0;   // bytes with the wrong parity the ISO table dropped since the last tape
  int parityBaseline_ = 0;  // the port's count of parity errors when the last tape ended
  QString receivingPath_;
  QString lineText_;
  QStringList lines_;
  DurableLineFile file_;
  QString fileProblem_;
  qint64 tapeBytes_ = 0;
  qint64 lastByteMs_ = 0;
  QString portProblem_;  // the last reason the line could not be opened, said once
};

}  // namespace korvane
