#include "transfer/send_engine.h"

#include <algorithm>
#include <cmath>

#include "platform/serial/control_codes.h"
#include "platform/serial/line_settings.h"

#include "transfer/program_reader.h"
#include "transfer/tape_code.h"

namespace korvane {

namespace {

// A job runs inside the click handler; this keeps running() true for exactly its duration.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

int framesPerSecond(const PortProfile& profile) {
  const std::optional<LineSettings> line = parseLineSettings(serialSettingsText(profile));
  return line ? line->rate / line->frameBits() : 0;
}

int feedFrames(double lengthCm) {
  if (!(lengthCm > 0)) return 0;
  return static_cast<int>(std::nearbyint(std::min(lengthCm, kMaxFeedLengthCm) * 10 / 2.54));
}

SendEngine::SendEngine(SettingsStore& store, TransferContext context, SendCompletion completion)
    : store_(store), c_(context), completion_(std::move(completion)) {}

SendOutcome SendEngine::press(const QStringList& rows) {
  if (rows.isEmpty()) return SendOutcome::NotStarted;
  if (running_) {
    c_.cancel = true;
    return SendOutcome::NotStarted;
  }
  slot_ = store_.selectedSlot();
  if (slot_ == 0) {
    c_.view.showMessage(QStringLiteral("マシンが選択されていません"), MessageIcon::Critical);
    return SendOutcome::NotStarted;
  }
  // A leader the profile cannot mean is refused before anything goes out: sent short it would
  // look like success without the leader the machine expects.
  if (const PortProfile& p = profile();
      asInt(p.feedEnabled) == 1 && (!feedLengthUsable(p.feedLength) || !feedLengthUsable(p.feedLength2))) {
    c_.view.showMessage(feedLengthLimitMessage(), MessageIcon::Critical);
    return SendOutcome::NotStarted;
  }
  if (asInt(store_.app().shutdownAfterSend) == 1 &&
      !c_.view.askYesNo(QStringLiteral("送信終了後システムを停止します。\rよろしいですか？"), MessageIcon::Warning)) {
    return SendOutcome::NotStarted;
  }
  RunningFlag flag(running_);
  return run(rows);
}

bool SendEngine::openPort() {
  const PortProfile& p = profile();
  c_.port.setCommPort(asInt(p.portNumber));
  c_.port.setSettings(serialSettingsText(p));
  c_.port.setHandshaking(asInt(p.handshake));
  c_.port.setHighBitFlowControl(usesXonXoff(asInt(p.handshake)));
  c_.port.setReceiveFlowBytes(false);
  c_.port.setNullDiscard(false);
  PortError error;
  if (c_.port.open(&error)) return true;
  c_.port.close();
  c_.view.showMessage(error.description, MessageIcon::Critical);
  return false;
}

bool SendEngine::everyFileIsText(const QStringList& rows) {
  for (const QString& path : rows) {
    ProgramReader reader(path);
    std::optional<InvalidByte> invalid;
    // A file that cannot be read is reported when its turn comes, as it always was.
    if (!reader.open() || !reader.findInvalidByte(&invalid) || !invalid) continue;
    const QString hex = QStringLiteral("%1").arg(invalid->value, 2, 16, QLatin1Char('0')).toUpper();
    c_.view.showMessage(QStringLiteral("文字として読めないバイトがあるため送信しません"
                                       " (0x%1, %2 バイト目: Shift-JIS でも UTF-8 でもありません)\r\n%3")
                            .arg(hex)
                            .arg(invalid->offset + 1)
                            .arg(path),
                        MessageIcon::Critical);
    return false;
  }
  return true;
}

SendOutcome SendEngine::run(const QStringList& rows) {
  // A byte that is no character has no tape code either: dropped, it would leave the machine a
  // program that differs from the file without anyone being told. Nothing goes out then.
  if (!everyFileIsText(rows)) return SendOutcome::NotStarted;
  if (!openPort()) return SendOutcome::NotStarted;

  c_.view.enterTransfer(TransferKind::Send);
  c_.cancel = false;
  c_.view.clearRowSelection();
  c_.view.setProgressValue(0);
  c_.view.setWindowCaption(kSendingCaption);
  c_.view.setListSending(true);
  c_.view.setStatusText(QString());
  pauseMs(c_.pump, c_.clock, 50);

  const PortProfile& p = profile();
  const bool feed = asInt(p.feedEnabled) == 1;
  feedCount_ = feed && p.feedLength > 0 ? feedFrames(p.feedLength) : 0;
  trailingFeedCount_ = feed && p.feedLength2 > 0 ? feedFrames(p.feedLength2) : 0;
  fileStartMs_ = c_.clock.nowMs();
  portLostText_.clear();

  LineWriter writer(c_, p);
  Step result = openingSequence(writer);
  for (int i = 0; i < rows.size() && result == Step::Go; ++i) {
    result = sendFile(rows[i], i, i == rows.size() - 1, writer);
  }
  if (result != Step::Aborted) showElapsedTime(c_, fileStartMs_);

  c_.view.setListSending(false);
  if (result != Step::PortLost) closingSequence(writer);
  if (writer.portLost()) result = Step::PortLost;
  if (const auto failure = c_.port.failure()) portLostText_ = failure->description;
  c_.port.close();
  return report(result, rows);
}

SendEngine::Step SendEngine::openingSequence(LineWriter& writer) {
  const PortProfile& p = profile();
  if (asInt(p.useDc2Dc4) >= 1) writer.sendControlByte(kDc2);
  if (asInt(p.useDc1) == 1) {
    const Step go = waitForGoAhead();
    if (go != Step::Go) return go;
  }
  // A leader can be metres of tape, minutes on a slow line: the abort is looked at every frame.
  for (int i = 0; i < feedCount_; ++i) {
    if (c_.cancel.load()) return Step::Aborted;
    if (writer.portLost()) return Step::PortLost;
    writer.sendDataByte(kNul);
  }
  const bool framePercent = asInt(profile().ignorePercent) == 1;
  if (asInt(profile().startCr) == 0) {
    writeConverted(writer, QLatin1Char('\n'));
    pauseMs(c_.pump, c_.clock, 500);
    if (framePercent) writeConverted(writer, QLatin1Char('%'));
    pauseMs(c_.pump, c_.clock, 500);
  } else {
    if (framePercent) writeConverted(writer, QLatin1Char('%'));
    pauseMs(c_.pump, c_.clock, 500);
    writeConverted(writer, QLatin1Char('\n'));
    pauseMs(c_.pump, c_.clock, 500);
  }
  return writer.portLost() ? Step::PortLost : Step::Go;
}

SendEngine::Step SendEngine::waitForGoAhead() {
  // Flow control off, so that the machine's DC1 reaches us instead of being taken by the driver.
  // Closing drains the output, so the DC2 written just before reaches the machine.
  c_.port.close();
  c_.port.setHandshaking(kHandshakeNone);
  PortError error;
  if (!c_.port.open(&error)) {
    portLostText_ = error.description;
    return Step::PortLost;
  }
  for (;;) {
    c_.pump.serveEvents();
    if (c_.cancel.load()) return Step::Aborted;
    if (c_.port.failure()) return Step::PortLost;
    // Every byte read while waiting is discarded, also those after the go-ahead.
    const QByteArray bytes = c_.port.input();
    if (bytes.contains(static_cast<char>(kDc1)) || bytes.contains(static_cast<char>(kDc3)) ||
        bytes.contains(static_cast<char>(kDc3HighBit))) {
      break;
    }
    c_.port.waitForInput(kEventSliceMs);
  }
  c_.port.setHandshaking(asInt(profile().handshake));
  pauseMs(c_.pump, c_.clock, 50);
  return Step::Go;
}

void SendEngine::writeConverted(LineWriter& writer, QChar character) {
  if (const auto byte = convertSendCharacter(character, profile())) writer.sendDataByte(*byte);
}

SendEngine::Step SendEngine::sendFile(const QString& path, int row, bool last, LineWriter& writer) {
  c_.view.setRowSelected(row, true);
  ProgramReader reader(path);
  if (!reader.open()) {
    c_.view.showMessage(reader.errorString() + QStringLiteral("\r\n") + path, MessageIcon::Critical);
    return Step::Unreadable;
  }
  c_.view.setProgressRange(reader.size());
  c_.view.setProgressValue(0);
  int lineCount = 0;
  int charCount = 0;
  QString lineText;
  fileStartMs_ = c_.clock.nowMs();
  showElapsedTime(c_, fileStartMs_);

  QString character;
  while (reader.next(character)) {
    if (character == QLatin1String("\x1a") || character == QLatin1String("\r")) continue;
    if (character == QLatin1String("\n")) {
      ++lineCount;
      c_.view.setStatusText(QString::number(lineCount) + QStringLiteral(" : ") + lineText);
      showElapsedTime(c_, fileStartMs_);
      if (charCount % 2 == 1) writeConverted(writer, QLatin1Char(' '));
      writeConverted(writer, QLatin1Char('\n'));
      const int eob = asInt(profile().eobMode);
      if (eob >= 1) writeConverted(writer, QLatin1Char('\r'));
      if (eob == 2) writeConverted(writer, QLatin1Char('\r'));
      c_.view.setProgressValue(reader.position());
      charCount = 0;
      lineText.clear();
    } else if (character == QLatin1String("%")) {
      if (asInt(profile().ignorePercent) == 0) writeConverted(writer, QLatin1Char('%'));
    } else {
      // A character without a tape code is dropped from the wire but still counts for the block.
      if (character.size() == 1) writeConverted(writer, character[0]);
      lineText += character;
      ++charCount;
    }
    if (writer.portLost()) return Step::PortLost;
    if (c_.cancel.load()) return Step::Aborted;
  }
  if (reader.position() < reader.size()) {
    c_.view.showMessage(reader.errorString() + QStringLiteral("\r\n") + path, MessageIcon::Critical);
    return Step::Unreadable;
  }
  c_.view.setProgressValue(reader.position());
  if (!last) {
    for (int i = 0; i < trailingFeedCount_; ++i) {
      if (c_.cancel.load()) return Step::Aborted;
      writer.sendControlByte(kNul);
    }
  }
  c_.view.setRowSelected(row, false);
  return writer.portLost() ? Step::PortLost : Step::Go;
}

void SendEngine::closingSequence(LineWriter& writer) {
  if (asInt(profile().ignorePercent) == 1) writeConverted(writer, QLatin1Char('%'));
  // After an abort the tape still gets its end, but a long trailing feed would hold the line
  // for minutes after the operator asked to stop: it is cut to what the line sends in a second.
  int feed = trailingFeedCount_;
  if (c_.cancel.load()) feed = std::min(feed, framesPerSecond(profile()));
  for (int i = 0; i < feed; ++i) writer.sendControlByte(kNul);
  if (asInt(profile().useDc2Dc4) >= 1) writer.sendDataByte(kDc4);
  // The last bytes may still be queued (held by the machine, or waiting for the line): nothing
  // moves them during the pause, and a machine that has not seen the closing "%" counts the
  // pause as a stall of its running program.
  // Once the last character has left, the machine's DC1 and DC3 are no flow control for this
  // tape any more: a DC1 during the pause asks for the next one, and stays for the reader.
  if (writer.waitUntilSent()) c_.port.setReceiveFlowBytes(true);
  pauseMs(c_.pump, c_.clock, 2000);
}

SendOutcome SendEngine::report(Step result, const QStringList& rows) {
  SendOutcome outcome = SendOutcome::Completed;
  if (result == Step::PortLost) {
    c_.view.setWindowCaption(kSendAbortedCaption);
    c_.view.showMessage(portLostText_.isEmpty() ? QStringLiteral("ポートへの書き込みに失敗しました") : portLostText_,
                        MessageIcon::Critical);
    outcome = SendOutcome::Failed;
  } else if (result == Step::Unreadable || c_.cancel.load()) {
    // An unreadable file means the machine did not get everything: no mail, no shutdown, no "finished".
    c_.view.setWindowCaption(kSendAbortedCaption);
    c_.view.showMessage(kSendAbortedMessage, MessageIcon::None);
    outcome = result == Step::Unreadable ? SendOutcome::Failed : SendOutcome::Aborted;
  } else {
    if (asInt(store_.app().mailAfterSend) == 1 && completion_.sendCompletionMail) completion_.sendCompletionMail(rows);
    if (asInt(store_.app().shutdownAfterSend) == 1 && completion_.shutDownSystem) {
      completion_.shutDownSystem();
      return SendOutcome::Completed;
    }
    c_.view.setWindowCaption(kSendDoneCaption);
    c_.view.showMessage(kSendDoneMessage, MessageIcon::None);
  }
  c_.view.leaveTransfer(TransferKind::Send);
  return outcome;
}

}  // namespace korvane
