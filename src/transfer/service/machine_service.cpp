#include "transfer/service/machine_service.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/serial/control_codes.h"
#include "transfer/line_writer.h"
#include "transfer/receive_engine.h"
#include "transfer/send_engine.h"
#include "transfer/tape_code.h"

namespace korvane {

namespace {

// How long an idle line is slept on before the stop request is looked at again.
constexpr int kIdleSliceMs = 500;
// Enough of a kept tape to find its program number.
constexpr qint64 kHeadBytes = 64 * 1024;

bool isContent(const QString& line) {
  const QString t = line.trimmed();
  return !t.isEmpty() && t != QLatin1String("%");
}

QString seconds(int ms) { return QString::number(ms / 1000.0, 'f', ms % 1000 ? 1 : 0); }

QString joined(const QStringList& reasons) {
  QStringList given;
  for (const QString& r : reasons)
    if (!r.isEmpty()) given << r;
  return given.join(QStringLiteral("; "));
}

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
    // Where the machine's output stands is not known until an end of block or a "%" shows it.
    atBlockBoundary_ = false;
    beforeTape_.clear();
    parityBaseline_ = 0;
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
      // A pause of the machine: what came so far goes to the disk now.
      if (port_.inBufferCount() == 0 && fileProblem_.isEmpty() && !file_.syncPending()) fileProblem_ = file_.errorText();
      const bool quiet = port_.inBufferCount() == 0 && clock_.nowMs() - lastByteMs_ >= times_.quietLimitMs;
      if (inTape_ && quiet) tapeBroken(QStringLiteral("%1 秒間データが来ませんでした").arg(seconds(times_.quietLimitMs)));
      // A label whose tape never came, or the rest of a block without its end: no program either way.
      if (!inTape_ && quiet) beforeTape_.clear();
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
    const auto byte = static_cast<quint8>(bytes[i]);
    const std::optional<QChar> c = convertReceivedByte(byte, profile());
    if (!c) {
      if (hasWrongParity(byte, profile())) ++droppedParity_;
      continue;
    }
    if (*c == QLatin1Char('\r') || *c == QChar(kDc2)) continue;
    if (!inTape_ && !beforeTape(*c)) continue;
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

bool MachineService::beforeTape(QChar c) {
  if (c == QChar(kDc4) || c == QChar(kDc1) || c == QChar(kDc3)) return false;
  if (c == QLatin1Char('%')) {
    // What came before the tape's first "%" on its line is the punch's label (a Fanuc 0 punches
    // ESC & H E : and DC2), skipped as a control's label skip does.
    beforeTape_.clear();
    startTape(false);
    return true;
  }
  if (c != QLatin1Char('\n')) {
    if (c.isPrint()) beforeTape_ += c;  // control codes and DEL of the leader are no block
    return false;
  }
  if (beforeTape_.trimmed().isEmpty()) {
    beforeTape_.clear();  // leader
    atBlockBoundary_ = true;
    return false;
  }
  // A block ended before any "%": a tape without its leading "%", or, when no end of block came
  // before it either, the rest of a tape whose start this service did not see.
  startTape(!atBlockBoundary_);
  lineText_ = std::exchange(beforeTape_, QString());
  tapeBytes_ = lineText_.size();
  return true;
}

void MachineService::startTape(bool midBlock) {
  inTape_ = true;
  contentSeen_ = false;
  midBlock_ = midBlock;
  lineText_.clear();
  lines_.clear();
  tapeBytes_ = 0;
  fileProblem_.clear();
  // Beside a tape still lying in the usual file (it could not be given a name of its own), never over it.
  receivingPath_ = shelf_.freeReceivingPath(slot_);
  if (!file_.open(receivingPath_)) fileProblem_ = file_.errorText();
}

void MachineService::endLine() {
  // Each line reaches the disk as it completes; if the disk fails, the tape is still held here,
  // and its end says what could not be stored.
  if (fileProblem_.isEmpty() && !file_.writeLine(lineText_)) fileProblem_ = file_.errorText();
  if (isContent(lineText_)) contentSeen_ = true;
  lines_ << std::exchange(lineText_, QString());
}

QString MachineService::takeParityFaults() {
  const int replaced = port_.parityErrors() - parityBaseline_;
  parityBaseline_ = port_.parityErrors();
  return parityFaultTexts(std::max(replaced, 0), std::exchange(droppedParity_, 0)).join(QStringLiteral("; "));
}

void MachineService::tapeEnded() {
  if (!file_.close() && fileProblem_.isEmpty()) fileProblem_ = file_.errorText();
  inTape_ = false;
  atBlockBoundary_ = true;
  if (midBlock_) {
    keepMidBlockTape();
    return;
  }
  const QString parity = takeParityFaults();
  const QString tapeProgram = ProgramShelf::firstProgramNumber(lines_);
  if (const auto request = findProgramRequest(lines_)) {
    QFile::remove(receivingPath_);
    const QString asked =
        request->kind == ProgramRequest::Kind::List ? QStringLiteral("LIST") : QStringLiteral("LOAD ") + request->program;
    log(QStringLiteral("receive"), tapeProgram, tapeBytes_, QStringLiteral("request"), QString(), asked);
    if (!parity.isEmpty()) {
      // A digit lost to the line would ask for another program: the operator punches it again.
      log(QStringLiteral("send"), request->kind == ProgramRequest::Kind::List ? kProgramListNumber : request->program, -1,
          QStringLiteral("refused"), QString(),
          QStringLiteral("要求のテープが正しく届きませんでした: ") + parity);
      return;
    }
    answer(*request);
    return;
  }
  QString failure;
  QString unstored;
  const QDateTime now = QDateTime::currentDateTime();
  const QList<ShelvedProgram> stored = shelf_.storeTape(lines_, now, &failure, &unstored);
  for (const ShelvedProgram& p : stored) {
    log(QStringLiteral("receive"), p.program, p.bytes, QStringLiteral("stored"), p.path,
        joined({parity, p.backup.isEmpty() ? QString() : QStringLiteral("前のプログラムは %1 に残しました").arg(p.backup)}));
  }
  if (failure.isEmpty()) {
    // Every program is on the disk whole; the receiving file was only the journal of its arrival.
    QFile::remove(receivingPath_);
    return;
  }
  // Kept under a name of its own at once: the machine's next tape must find the receiving file free.
  const QString program = unstored.isEmpty() ? tapeProgram : unstored;
  QString keepFailure;
  const QString kept = shelf_.keepUnstored(receivingPath_, program, now, &keepFailure);
  log(QStringLiteral("receive"), program, tapeBytes_, QStringLiteral("failed"), kept.isEmpty() ? receivingPath_ : kept,
      joined({failure, fileProblem_ == failure ? QString() : fileProblem_, keepFailure, parity}));
}

void MachineService::keepMidBlockTape() {
  QString failure;
  const QString program = ProgramShelf::firstProgramNumber(lines_);
  const QString kept = shelf_.keepIncomplete(receivingPath_, program, QDateTime::currentDateTime(), &failure);
  log(QStringLiteral("receive"), program, tapeBytes_, QStringLiteral("incomplete"), kept.isEmpty() ? receivingPath_ : kept,
      joined({QStringLiteral("テープの途中から受信しました (始まりの \"%\" を受信する前にブロックの途中から届きました)"),
              fileProblem_, failure, takeParityFaults()}));
}

void MachineService::tapeBroken(const QString& reason) {
  if (!lineText_.isEmpty()) {
    // The line that was arriving belongs to what is kept; the name already says it is cut short.
    if (fileProblem_.isEmpty() && !file_.writeLine(lineText_)) fileProblem_ = file_.errorText();
    lines_ << std::exchange(lineText_, QString());
  }
  if (!file_.close() && fileProblem_.isEmpty()) fileProblem_ = file_.errorText();
  inTape_ = false;
  atBlockBoundary_ = false;  // the machine may go on where it stopped
  const QString parity = takeParityFaults();
  const QString program = ProgramShelf::firstProgramNumber(lines_);
  if (!std::any_of(lines_.cbegin(), lines_.cend(), isContent)) {
    QFile::remove(receivingPath_);  // a leader or a lone "%": nothing of a program
    return;
  }
  QString failure;
  const QString kept = shelf_.keepIncomplete(receivingPath_, program, QDateTime::currentDateTime(), &failure);
  log(QStringLiteral("receive"), program, tapeBytes_, QStringLiteral("incomplete"),
      kept.isEmpty() ? receivingPath_ : kept, joined({reason, failure, parity}));
}

void MachineService::recoverLeftover() {
  for (const QString& receiving : shelf_.leftoverReceivingPaths(slot_)) {
    // A tape that was arriving when the service ended without a chance to say so.
    QFile file(receiving);
    const QStringList lines =
        file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(kHeadBytes)).split(QLatin1Char('\n')) : QStringList();
    file.close();
    QString failure;
    const QString program = ProgramShelf::firstProgramNumber(lines);
    const QString kept = shelf_.keepIncomplete(receiving, program, QDateTime::currentDateTime(), &failure);
    log(QStringLiteral("receive"), program, QFileInfo(kept.isEmpty() ? receiving : kept).size(),
        QStringLiteral("incomplete"), kept.isEmpty() ? receiving : kept,
        joined({QStringLiteral("前回の受信の途中で終わっていました"), failure}));
  }
}

void MachineService::logSkipped(const QString& program, const QList<SkippedFile>& skipped) {
  for (const SkippedFile& file : skipped)
    log(QStringLiteral("send"), program, -1, QStringLiteral("skipped"), file.path, file.reason);
}

void MachineService::answer(const ProgramRequest& request) {
  QString program = request.program;
  const QString folder = profile().programFolder;
  QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("korvane-%1-XXXXXX.nc").arg(
      request.kind == ProgramRequest::Kind::List ? kProgramListNumber : program)));
  QList<SkippedFile> skipped;
  if (request.kind == ProgramRequest::Kind::List) {
    program = kProgramListNumber;
    const QList<AvailableProgram> programs = availablePrograms(folder, &skipped);
    logSkipped(program, skipped);
    const QByteArray text = programListText(profile().deviceName, programs).toLatin1();
    if (!copy.open() || copy.write(text) != text.size() || !copy.flush()) {
      log(QStringLiteral("send"), program, -1, QStringLiteral("failed"), copy.fileName(), copy.errorString());
      return;
    }
    if (waitForGoAhead(program)) send(copy.fileName(), program, copy.fileName());
    return;
  }
  const QString path = findRequestedProgram(folder, program, &skipped);
  logSkipped(program, skipped);
  if (path.isEmpty()) {
    // Answered with nothing: the machine's next punch or request is served as usual.
    log(QStringLiteral("send"), program, -1, QStringLiteral("not-found"), QString(),
        folder.isEmpty() ? QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ が設定されていません")
                         : QStringLiteral("%1 が %2 にありません").arg(program, folder));
    return;
  }
  if (!request.from.isEmpty()) {
    // A load from a block goes as the restart program from there; a refused one as nothing.
    QString reason;
    const bool made = writeRestartAnswer(folder, path, request, profile(), copy, &reason);
    log(QStringLiteral("send"), program, -1, made ? QStringLiteral("restart") : QStringLiteral("refused"), path,
        made ? QStringLiteral("%1 から").arg(request.from) : reason);
    if (made && waitForGoAhead(program)) send(copy.fileName(), program, path);
    return;
  }
  if (!waitForGoAhead(program)) return;
  // Sent from a copy of what is opened, after the checks, once the machine is ready: the file as
  // it is then, and never what a link put in its place while the answer waited.
  QString problem;
  if (!copy.open() || !copyProgramFile(folder, path, copy, &problem) || !copy.flush()) {
    log(QStringLiteral("send"), program, -1, QStringLiteral("failed"), path, problem.isEmpty() ? copy.errorString() : problem);
    return;
  }
  send(copy.fileName(), program, path);
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

void MachineService::send(const QString& path, const QString& program, const QString& shown) {
  TransferContext context{port_, view_, pump_, clock_, cancel_};
  SendEngine engine(store_, context, SendCompletion{});
  const SendOutcome outcome = engine.press({path});
  const QStringList messages = view_.takeMessages();
  static const QString kResults[] = {QStringLiteral("refused"), QStringLiteral("sent"), QStringLiteral("aborted"),
                                     QStringLiteral("failed")};
  log(QStringLiteral("send"), program, QFileInfo(path).size(), kResults[int(outcome)], shown,
      messages.join(QStringLiteral("; ")));
  // The engine set the line up for sending; what comes next is the machine's punch again, or
  // its go-ahead for the next answer.
  configureForReception();
  sendReadyCode();
  parityBaseline_ = port_.parityErrors();
}

}  // namespace korvane
