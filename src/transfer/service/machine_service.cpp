#include "transfer/service/machine_service.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/control_codes.h"
#include "transfer/line_writer.h"
#include "transfer/receive_engine.h"
#include "transfer/send_engine.h"
#include "transfer/tape_code.h"

namespace korvane {

namespace {

// How long an idle line is slept on before the stop request is looked at again.
constexpr int kIdleSliceMs = 500;

bool isContent(const QString& line) {
  const QString t = line.trimmed();
  return !t.isEmpty() && t != QLatin1String("%");
}

QString seconds(int ms) { return QString::number(ms / 1000.0, 'f', ms % 1000 ? 1 : 0); }

}  // namespace

void ServiceView::showMessage(const QString& text, MessageIcon) {
  // The ordinary end of a send is the log's own "sent".
  if (text != kSendDoneMessage) messages_ << text;
}

void MachineService::StopPump::serveEvents() {
  // The send engine clears its abort flag when it starts: a stop asked for just then must not
  // be forgotten.
  if (service_.stop_.load()) service_.cancel_ = true;
}

MachineService::MachineService(const SettingsStore& settings, int slot, SerialPort& line, Clock& clock,
                               ServiceLog& log, ServiceTimes times)
    : store_(settings),
      slot_(slot),
      line_(line),
      port_(line),
      clock_(clock),
      log_(log),
      times_(times),
      shelf_(settings.profile(slot).receiveFolder, programExtension(settings.app().fileFilter)) {
  // The service's own copy: the send engine takes the selected profile, and what the window does
  // after a send (mail, power-off) is no business of a service.
  store_.app().currentProfile = slot;
  store_.app().mailAfterSend = 0;
  store_.app().shutdownAfterSend = 0;
  // The service waits for the machine's DC1 itself, before the engine starts.
  store_.profile(slot).useDc1 = 0;
}

QString MachineService::setUpProblem() const {
  const QString folder = profile().receiveFolder;
  if (folder.isEmpty()) return QStringLiteral("受信ﾌｫﾙﾀﾞ が設定されていません");
  if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
    return QStringLiteral("受信ﾌｫﾙﾀﾞ に書き込めません: %1").arg(folder);
  return QString();
}

void MachineService::requestStop() {
  stop_ = true;
  cancel_ = true;
}

void MachineService::log(const QString& direction, const QString& program, qint64 bytes, const QString& result,
                         const QString& file, const QString& reason) {
  log_.event({slot_, profile().deviceName, direction, program, bytes, result, file, reason});
}

void MachineService::configureForReception() {
  const PortProfile& p = profile();
  port_.setCommPort(asInt(p.portNumber));
  port_.setSettings(serialSettingsText(p));
  port_.setRtsEnable(true);
  port_.setHighBitFlowControl(false);
  // As a reception: DC1/DC3 reach the reader (under EIA 0x13 is the digit 3, and the go-ahead
  // for an answer is a DC1), while our own input throttling towards the machine stays.
  port_.setReceiveFlowBytes(true);
  port_.setHandshaking(asInt(p.handshake));
  port_.setNullDiscard(true);
}

bool MachineService::openLine() {
  configureForReception();
  PortError error;
  if (port_.openLine(&error)) {
    log(QStringLiteral("port"), QString(), -1, QStringLiteral("open"));
    portProblem_.clear();
    sendReadyCode();
    return true;
  }
  port_.closeLine();
  if (error.description != portProblem_) {
    log(QStringLiteral("port"), QString(), -1, QStringLiteral("unavailable"), QString(),
        error.description + QStringLiteral(" (retrying every %1 s)").arg(seconds(times_.retryMs)));
    portProblem_ = error.description;
  }
  return false;
}

void MachineService::sendReadyCode() {
  // As a reception with DC codes starts: a control that holds its output until the PC is ready
  // may punch now.
  if (asInt(profile().useDc2Dc4) >= 1) port_.output(kDc1);
}

void MachineService::pauseUnlessStopped(int ms) {
  for (int slept = 0; slept < ms && !stop_.load(); slept += kIdleSliceMs) clock_.sleepMs(std::min(kIdleSliceMs, ms - slept));
}

void MachineService::run() {
  recoverLeftover();
  while (!stop_.load()) {
    if (!port_.isOpen() && !openLine()) {
      pauseUnlessStopped(times_.retryMs);
      continue;
    }
    if (const auto lost = port_.failure()) {
      // What arrived before the line failed is the machine's data all the same.
      if (port_.inBufferCount() > 0) serveBytes(port_.input());
      if (inTape_) tapeBroken(QStringLiteral("回線が切れました: ") + lost->description);
      log(QStringLiteral("port"), QString(), -1, QStringLiteral("lost"), QString(),
          lost->description + QStringLiteral(" (retrying every %1 s)").arg(seconds(times_.retryMs)));
      portProblem_ = lost->description;
      port_.closeLine();
      pauseUnlessStopped(times_.retryMs);
      continue;
    }
    if (port_.inBufferCount() == 0) {
      port_.waitForInput(kIdleSliceMs);
      if (inTape_ && port_.inBufferCount() == 0 && clock_.nowMs() - lastByteMs_ >= times_.quietLimitMs)
        tapeBroken(QStringLiteral("%1 秒間データが来ませんでした").arg(seconds(times_.quietLimitMs)));
      continue;
    }
    serveBytes(port_.input());
  }
  if (inTape_) tapeBroken(QStringLiteral("サービスが停止しました"));
  port_.closeLine();
}

void MachineService::serveBytes(const QByteArray& bytes) {
  lastByteMs_ = clock_.nowMs();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const std::optional<QChar> c = convertReceivedByte(static_cast<quint8>(bytes[i]), profile());
    if (!c || *c == QLatin1Char('\r') || *c == QChar(kDc2)) continue;
    if (!inTape_) {
      if (*c == QLatin1Char('\n') || *c == QChar(kDc4) || *c == QChar(kDc1) || *c == QChar(kDc3)) continue;
      startTape();
    }
    ++tapeBytes_;
    if (*c == QLatin1Char('\n')) {
      endLine();
      continue;
    }
    lineText_ += *c;
    if (*c != QLatin1Char('%') || !(contentSeen_ || isContent(lineText_.chopped(1)))) continue;
    endLine();
    // What follows the tape (the go-ahead for an answer, the next tape) is read afresh.
    port_.putBack(bytes.mid(i + 1));
    tapeEnded();
    return;
  }
}

void MachineService::startTape() {
  inTape_ = true;
  contentSeen_ = false;
  lineText_.clear();
  lines_.clear();
  tapeBytes_ = 0;
  fileProblem_.clear();
  if (!file_.open(shelf_.receivingPath(slot_))) fileProblem_ = file_.errorText();
}

void MachineService::endLine() {
  // Each line reaches the disk as it completes; if the disk fails, the tape is still held here,
  // and its end says what could not be stored.
  if (fileProblem_.isEmpty() && !file_.writeLine(lineText_)) fileProblem_ = file_.errorText();
  if (isContent(lineText_)) contentSeen_ = true;
  lines_ << std::exchange(lineText_, QString());
}

void MachineService::tapeEnded() {
  file_.close();
  inTape_ = false;
  const QString receiving = shelf_.receivingPath(slot_);
  const QString tapeProgram = ProgramShelf::firstProgramNumber(lines_);
  if (const auto request = findProgramRequest(lines_)) {
    QFile::remove(receiving);
    log(QStringLiteral("receive"), tapeProgram, tapeBytes_, QStringLiteral("request"), QString(),
        request->kind == ProgramRequest::Kind::List ? QStringLiteral("LIST") : QStringLiteral("LOAD ") + request->program);
    answer(*request);
    return;
  }
  QString failure;
  const QList<ShelvedProgram> stored = shelf_.storeTape(lines_, QDateTime::currentDateTime(), &failure);
  for (const ShelvedProgram& p : stored) {
    log(QStringLiteral("receive"), p.program, p.bytes, QStringLiteral("stored"), p.path,
        p.backup.isEmpty() ? QString() : QStringLiteral("前のプログラムは %1 に残しました").arg(p.backup));
  }
  if (failure.isEmpty() && fileProblem_.isEmpty()) {
    QFile::remove(receiving);
    return;
  }
  log(QStringLiteral("receive"), tapeProgram, tapeBytes_, QStringLiteral("failed"), receiving,
      failure.isEmpty() ? fileProblem_ : failure);
}

void MachineService::tapeBroken(const QString& reason) {
  if (!lineText_.isEmpty()) {
    // The line that was arriving belongs to what is kept; the name already says it is cut short.
    if (fileProblem_.isEmpty() && !file_.writeLine(lineText_)) fileProblem_ = file_.errorText();
    lines_ << std::exchange(lineText_, QString());
  }
  file_.close();
  inTape_ = false;
  const QString receiving = shelf_.receivingPath(slot_);
  const QString program = ProgramShelf::firstProgramNumber(lines_);
  if (!std::any_of(lines_.cbegin(), lines_.cend(), isContent)) {
    QFile::remove(receiving);  // a leader or a lone "%": nothing of a program
    return;
  }
  QString failure;
  const QString kept = shelf_.keepIncomplete(receiving, program, QDateTime::currentDateTime(), &failure);
  log(QStringLiteral("receive"), program, tapeBytes_, QStringLiteral("incomplete"), kept.isEmpty() ? receiving : kept,
      failure.isEmpty() ? reason : reason + QStringLiteral("; ") + failure);
}

void MachineService::recoverLeftover() {
  const QString receiving = shelf_.receivingPath(slot_);
  if (!QFileInfo::exists(receiving)) return;
  // A tape that was arriving when the service ended without a chance to say so.
  QFile file(receiving);
  const QStringList lines =
      file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')) : QStringList();
  QString failure;
  const QString program = ProgramShelf::firstProgramNumber(lines);
  const QString kept = shelf_.keepIncomplete(receiving, program, QDateTime::currentDateTime(), &failure);
  log(QStringLiteral("receive"), program, QFileInfo(kept.isEmpty() ? receiving : kept).size(),
      QStringLiteral("incomplete"), kept.isEmpty() ? receiving : kept,
      QStringLiteral("前回の受信の途中で終わっていました") + (failure.isEmpty() ? QString() : QStringLiteral("; ") + failure));
}

void MachineService::answer(const ProgramRequest& request) {
  QTemporaryFile list(QDir::temp().filePath(QStringLiteral("korvane-O9998-XXXXXX.nc")));
  QString path;
  QString program = request.program;
  if (request.kind == ProgramRequest::Kind::List) {
    program = kProgramListNumber;
    const QByteArray text = programListText(profile().deviceName, availablePrograms(profile().programFolder)).toLatin1();
    if (!list.open() || list.write(text) != text.size() || !list.flush()) {
      log(QStringLiteral("send"), program, -1, QStringLiteral("failed"), list.fileName(), list.errorString());
      return;
    }
    path = list.fileName();
  } else {
    const QString folder = profile().programFolder;
    path = findRequestedProgram(folder, program);
    if (path.isEmpty()) {
      // Answered with nothing: the machine's next punch or request is served as usual.
      log(QStringLiteral("send"), program, -1, QStringLiteral("not-found"), QString(),
          folder.isEmpty() ? QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ が設定されていません")
                           : QStringLiteral("%1 が %2 にありません").arg(program, folder));
      return;
    }
  }
  // A load from a block goes as the restart program from there; a refused one as nothing.
  QTemporaryFile restart(QDir::temp().filePath(program + QStringLiteral("-restart-XXXXXX.nc")));
  if (!request.from.isEmpty()) {
    QString reason;
    const bool made = writeRestartAnswer(path, request, profile(), restart, &reason);
    log(QStringLiteral("send"), program, -1, made ? QStringLiteral("restart") : QStringLiteral("refused"), path,
        made ? QStringLiteral("%1 から").arg(request.from) : reason);
    if (!made) return;
    path = restart.fileName();
  }
  if (waitForGoAhead(program)) send(path, program);
}

bool MachineService::waitForGoAhead(const QString& program) {
  log(QStringLiteral("send"), program, -1, QStringLiteral("waiting"), QString(),
      QStringLiteral("機械の DC1 を待っています (%1 秒まで)").arg(seconds(times_.answerWaitMs)));
  const qint64 deadline = clock_.nowMs() + times_.answerWaitMs;
  while (!stop_.load()) {
    if (const auto lost = port_.failure()) {
      log(QStringLiteral("send"), program, -1, QStringLiteral("failed"), QString(), lost->description);
      return false;
    }
    const QByteArray bytes = port_.input();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      const auto byte = static_cast<quint8>(bytes[i]);
      if (byte == kDc1 || byte == kDc1HighBit) return true;
      // The operator punched again instead of reading: that tape is served as usual.
      const std::optional<QChar> c = convertReceivedByte(byte, profile());
      if (c && c->isPrint() && *c != QLatin1Char(' ')) {
        port_.putBack(bytes.mid(i));
        log(QStringLiteral("send"), program, -1, QStringLiteral("abandoned"), QString(),
            QStringLiteral("DC1 の前に機械が次のテープを出力しました"));
        return false;
      }
    }
    const qint64 left = deadline - clock_.nowMs();
    if (left <= 0) {
      log(QStringLiteral("send"), program, -1, QStringLiteral("timeout"), QString(),
          QStringLiteral("%1 秒待っても DC1 が来ませんでした").arg(seconds(times_.answerWaitMs)));
      return false;
    }
    port_.waitForInput(int(std::min<qint64>(left, kIdleSliceMs)));
  }
  log(QStringLiteral("send"), program, -1, QStringLiteral("stopped"), QString(), QStringLiteral("サービスが停止しました"));
  return false;
}

void MachineService::send(const QString& path, const QString& program) {
  TransferContext context{port_, view_, pump_, clock_, cancel_};
  SendEngine engine(store_, context, SendCompletion{});
  const SendOutcome outcome = engine.press({path});
  const QStringList messages = view_.takeMessages();
  static const QString kResults[] = {QStringLiteral("refused"), QStringLiteral("sent"), QStringLiteral("aborted"),
                                     QStringLiteral("failed")};
  log(QStringLiteral("send"), program, QFileInfo(path).size(), kResults[int(outcome)], path,
      messages.join(QStringLiteral("; ")));
  // The engine set the line up for sending; what comes next is the machine's punch again.
  configureForReception();
  sendReadyCode();
}

}  // namespace korvane
