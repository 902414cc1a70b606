#include "transfer/receive_engine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

#include "platform/desktop/file_system.h"
#include "transfer/tape_code.h"

namespace korvane {

namespace {

constexpr quint8 kDc1 = 0x11;
constexpr quint8 kDc3 = 0x13;
constexpr quint8 kDc3Parity = 0x93;

bool anythingAt(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

}  // namespace

QStringList parityFaultTexts(int replaced, int dropped) {
  QStringList texts;
  const QString text = QStringLiteral("パリティエラーの文字が %1 個ありました。受信したデータを確認してください (%2)");
  if (replaced > 0) texts << text.arg(replaced).arg(QStringLiteral("その文字は \"?\" に置き換わっています"));
  if (dropped > 0) texts << text.arg(dropped).arg(QStringLiteral("その文字は取り除かれています"));
  return texts;
}

QString incompleteProgramFileName(const QString& folder, const QString& name, const QString& extension,
                                  const QDateTime& started) {
  QString stem = name.chopped(extension.size());
  const QString tail = QStringLiteral("-incomplete-") + started.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  if (!fileNameFits(folder, stem + tail + QStringLiteral("-99") + extension)) stem = stem.left(kShortenedProgramDigits + 1);
  QString incomplete = stem + tail + extension;
  for (int n = 2; anythingAt(QDir(folder).filePath(incomplete)); ++n)
    incomplete = stem + tail + QStringLiteral("-%1").arg(n) + extension;
  return incomplete;
}

bool startsWithProgramNumber(const QString& line) {
  for (QChar c : line) {
    if (c == QLatin1Char(' ')) continue;
    return c == QLatin1Char('O');
  }
  return false;
}

QString programExtension(const QString& fileFilter) {
  if (fileFilter.isEmpty()) return QStringLiteral(".nc");
  const qsizetype dot = fileFilter.indexOf(QLatin1Char('.'));
  if (dot < 0) return QString();
  const qsizetype semicolon = fileFilter.indexOf(QLatin1Char(';'), dot);
  return fileFilter.mid(dot, semicolon < 0 ? -1 : semicolon - dot);
}

QString programFileName(const QString& line, const QString& extension) {
  const QString after = line.mid(line.indexOf(QLatin1Char('O')) + 1);
  // The decimal number at the start, blanks ignored wherever they stand.
  QString digits;
  for (QChar c : after) {
    if (c == QLatin1Char(' ')) continue;
    if (!c.isDigit() || c.unicode() > 0x7F) break;
    digits += c;
  }
  while (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) digits.remove(0, 1);
  if (digits.isEmpty()) digits = QStringLiteral("0");
  return QStringLiteral("O") + digits.rightJustified(4, QLatin1Char('0')) + extension;
}

ReceiveEngine::ReceiveEngine(SettingsStore& store, TransferContext context, ReceiveUi& ui)
    : store_(store), c_(context), ui_(ui) {}

ReceiveOutcome ReceiveEngine::press() {
  if (running_) {
    c_.cancel = true;
    return ReceiveOutcome::NotStarted;
  }
  slot_ = store_.selectedSlot();
  if (slot_ == 0) {
    c_.view.showMessage(QStringLiteral("マシンが選択されていません"), MessageIcon::Critical);
    return ReceiveOutcome::NotStarted;
  }
  const std::optional<ReceiveMethod> method = ui_.chooseMethod();
  if (!method) return ReceiveOutcome::NotStarted;
  method_ = *method;

  c_.cancel = false;
  c_.view.setProgressValue(0);
  if (method_ == ReceiveMethod::FolderPerProgram) {
    folder_ = ui_.chooseFolder();
    if (folder_.isEmpty()) return ReceiveOutcome::NotStarted;
    extension_ = programExtension(store_.app().fileFilter);
    ui_.clearFileList();
    ui_.appendFileListRow(kDirRowPrefix + folder_);
    ui_.setListTextBlue(true);
  } else {
    ui_.clearFileList();
    ui_.addFiles();
    if (ui_.fileListRows().isEmpty()) return ReceiveOutcome::NotStarted;
    firstFile_ = ui_.fileListRows().first();
  }
  running_ = true;
  const ReceiveOutcome outcome = receive();
  running_ = false;
  return outcome;
}

bool ReceiveEngine::openPort(std::optional<quint8> controlByte) {
  const PortProfile& p = profile();
  c_.port.setCommPort(asInt(p.portNumber));
  c_.port.setSettings(serialSettingsText(p));
  c_.port.setRtsEnable(true);
  c_.port.setHighBitFlowControl(false);
  // A reception sends no data, so incoming DC1/DC3 need no recognition; under EIA 0x13 is the
  // digit 3 and must reach the program. Our own input throttling towards the machine stays.
  c_.port.setReceiveFlowBytes(true);
  PortError error;
  if (controlByte) {
    c_.port.setHandshaking(kHandshakeNone);
    c_.port.setNullDiscard(false);
    if (!c_.port.open(&error)) {
      failure_ = error.description;
      return false;
    }
    LineWriter writer(c_, p);
    writer.sendControlByte(*controlByte);
    c_.port.close();
    return true;
  }
  c_.port.setHandshaking(asInt(p.handshake));
  c_.port.setNullDiscard(true);
  if (!c_.port.open(&error)) {
    failure_ = error.description;
    return false;
  }
  return true;
}

ReceiveOutcome ReceiveEngine::receive() {
  c_.view.enterTransfer(TransferKind::Receive);
  c_.cancel = false;
  failure_.clear();
  notes_.clear();
  line_.clear();
  percentSeen_ = false;
  endOfData_ = false;
  written_ = -1;
  programPath_.clear();
  droppedParity_ = 0;
  replacedParity_ = 0;
  if (method_ == ReceiveMethod::OneFile) {
    if (!file_.open(firstFile_)) {
      finish(ReceiveOutcome::Failed, file_.errorText());
      return ReceiveOutcome::Failed;
    }
    written_ = 0;
  }
  const int dc = asInt(profile().useDc2Dc4);
  if ((dc >= 1 && !openPort(kDc1)) || !openPort(std::nullopt)) {
    c_.port.close();
    finish(ReceiveOutcome::Failed, failure_);
    return ReceiveOutcome::Failed;
  }
  c_.view.setWindowCaption(kReceivingCaption);
  c_.view.setStatusText(QString());
  startMs_ = c_.clock.nowMs();
  showElapsedTime(c_, startMs_);

  ReceiveOutcome outcome = ReceiveOutcome::Completed;
  for (;;) {
    c_.pump.serveEvents();
    if (c_.cancel.load()) {
      outcome = ReceiveOutcome::Aborted;
      break;
    }
    if (const auto lost = c_.port.failure()) {
      // What arrived before the line failed (a device server that sent its last bytes and
      // closed the connection) is the machine's data all the same.
      if (c_.port.inBufferCount() > 0) {
        if (!processChunk(c_.port.input())) {
          outcome = ReceiveOutcome::Failed;
          break;
        }
        if (endOfData_) break;
      }
      failure_ = lost->description;
      outcome = ReceiveOutcome::Failed;
      break;
    }
    if (c_.port.inBufferCount() == 0) {
      c_.port.waitForInput(kEventSliceMs);
      // A pause of the machine: what came so far goes to the disk now.
      if (c_.port.inBufferCount() == 0 && !file_.syncPending()) {
        failure_ = file_.errorText();
        outcome = ReceiveOutcome::Failed;
        break;
      }
      continue;
    }
    if (!processChunk(c_.port.input())) {
      outcome = ReceiveOutcome::Failed;
      break;
    }
    if (endOfData_) break;
  }

  replacedParity_ = c_.port.parityErrors();
  for (const QString& text : parityFaultTexts(replacedParity_, droppedParity_)) notes_.append({text, MessageIcon::Warning});
  c_.port.close();
  QString failure = failure_;
  if (dc == 1 || dc == 2) {
    // After an abort a DC3 still goes out, unless the modem lines are down (the write gives up).
    // A port that cannot be opened for it changes nothing: what was received is on disk.
    openPort(dc == 1 ? kDc3 : kDc3Parity);
  }
  if (method_ == ReceiveMethod::FolderPerProgram && written_ >= 0) {
    // The tape's closing "%" ends the program that was open as a whole one; anything else cut it
    // short, and it stays under the name that says so, the line that was arriving included.
    if (outcome == ReceiveOutcome::Completed) {
      if (!completeProgram()) {
        outcome = ReceiveOutcome::Failed;
        failure = failure_;
      }
    } else {
      if (!line_.isEmpty()) file_.writeLine(line_);
      file_.close();
      notes_.append({QStringLiteral("途中で終わったプログラムは次の名前で残しました: %1").arg(QFileInfo(file_.path()).fileName()),
                     MessageIcon::Warning});
    }
  }
  if (!file_.close() && outcome == ReceiveOutcome::Completed) {
    outcome = ReceiveOutcome::Failed;
    failure = file_.errorText();
  }
  finish(outcome, failure);
  return outcome;
}

bool ReceiveEngine::processChunk(const QByteArray& chunk) {
  for (const char byte : chunk) {
    const std::optional<QChar> c = convertReceivedByte(static_cast<quint8>(byte), profile());
    if (!c) {
      if (hasWrongParity(static_cast<quint8>(byte), profile())) ++droppedParity_;
      continue;
    }
    if (*c == QLatin1Char('\r') || *c == QChar(0x12)) continue;
    if (method_ == ReceiveMethod::FolderPerProgram && !percentSeen_) {
      // What a punch puts before the tape's first "%" is its label and leader (a Fanuc 0 punches
      // ESC & H E : and DC2), skipped as a control's label skip does: it makes no program.
      if (*c == QLatin1Char('%')) {
        percentSeen_ = true;
        line_ = QStringLiteral("%");
      }
      continue;
    }
    if (*c == QLatin1Char('\n')) {
      if (!endOfLine()) return false;
      continue;
    }
    line_ += *c;
    if (*c != QLatin1Char('%')) continue;
    if (!percentSeen_) {
      percentSeen_ = true;
      continue;
    }
    endOfData_ = true;
    return written_ < 0 || writeLine(line_);
  }
  return true;
}

bool ReceiveEngine::writeLine(const QString& line) {
  if (file_.writeLine(line)) return true;
  failure_ = file_.errorText();
  return false;
}

bool ReceiveEngine::endOfLine() {
  const bool perProgram = method_ == ReceiveMethod::FolderPerProgram;
  const bool hasO = line_.contains(QLatin1Char('O'));
  const bool endsProgram = line_.contains(QLatin1String("M30")) || line_.contains(QLatin1String("M99"));
  // A new program number while a program is still open (it ended without M30 or M99): the open
  // program is closed as a complete tape, and the line goes only into the new file.
  const bool startsWhileOpen = perProgram && written_ >= 0 && !endsProgram && startsWithProgramNumber(line_);
  if (startsWhileOpen) {
    if (!writeLine(QStringLiteral("%")) || !completeProgram()) return false;
  }
  if (written_ >= 0) {
    if (!writeLine(line_)) return false;
    ++written_;
    c_.view.setStatusText(QLatin1Char(' ') + QString::number(written_) + QLatin1Char(':') + line_);
    showElapsedTime(c_, startMs_);
  }
  if (perProgram && endsProgram && written_ >= 0) {
    if (!writeLine(QStringLiteral("%")) || !completeProgram()) return false;
  }
  if (perProgram && hasO && written_ < 0) {
    if (!startProgram(line_)) return false;
  }
  line_.clear();
  return true;
}

QString fittingProgramFileName(const QString& folder, const QString& name, const QDateTime& now) {
  if (fileNameFits(folder, name)) return name;
  // "O", the leading digits, the date and time of the reception, and a count where that name is
  // taken already, so a second such program of the same second does not overwrite the first.
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot > 0 ? name.mid(dot) : QString();
  const QString stem = name.left(kShortenedProgramDigits + 1) + QStringLiteral("-") +
                       now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString shortened = stem + extension;
  for (int n = 2; QFileInfo::exists(QDir(folder).filePath(shortened)); ++n) {
    shortened = stem + QStringLiteral("-%1").arg(n) + extension;
  }
  return shortened;
}

bool ReceiveEngine::startProgram(const QString& line) {
  const QString wanted = programFileName(line, extension_);
  const QString name = fittingProgramFileName(folder_, wanted, QDateTime::currentDateTime());
  if (name != wanted) {
    notes_.append({QStringLiteral("プログラム番号が長すぎてファイル名にできないため、次の名前で保存しました: %1\r\n"
                                  "(プログラム番号 %2 桁)")
                       .arg(name)
                       .arg(wanted.size() - 1 - extension_.size()),
                   MessageIcon::Information});
  }
  // Written aside, under a name that says it is not whole yet, and given its own name only when
  // it is: a program cut short never replaces the one the folder holds.
  programPath_ = QDir(folder_).filePath(name);
  const QString aside =
      QDir(folder_).filePath(incompleteProgramFileName(folder_, name, extension_, QDateTime::currentDateTime()));
  if (!file_.open(aside)) {
    failure_ = file_.errorText();
    return false;
  }
  written_ = 1;
  return writeLine(QStringLiteral("%")) && writeLine(line);
}

bool ReceiveEngine::completeProgram() {
  written_ = -1;
  if (!file_.close()) {
    // The program stays under the name that says it is not whole: the disk did not take it all.
    failure_ = file_.errorText();
    return false;
  }
  if (const QString reason = renameFile(file_.path(), programPath_, true); !reason.isEmpty()) {
    failure_ = reason + QStringLiteral("\r\n") + file_.path() + QStringLiteral(" -> ") + programPath_;
    return false;
  }
  return true;
}

void ReceiveEngine::finish(ReceiveOutcome outcome, const QString& failure) {
  file_.close();
  for (const auto& [text, icon] : std::exchange(notes_, {})) c_.view.showMessage(text, icon);
  if (outcome == ReceiveOutcome::Completed) {
    c_.view.setWindowCaption(kReceiveDoneCaption);
    c_.view.showMessage(kReceiveDoneMessage, MessageIcon::None);
    if (method_ == ReceiveMethod::FolderPerProgram) ui_.openFolder(folder_);
  } else {
    c_.view.setWindowCaption(kReceiveAbortedCaption);
    if (outcome == ReceiveOutcome::Failed) c_.view.showMessage(failure, MessageIcon::Critical);
    c_.view.showMessage(kReceiveAbortedMessage, MessageIcon::None);
  }
  c_.view.leaveTransfer(TransferKind::Receive);
  ui_.setListTextBlue(false);
}

}  // namespace korvane
