#include "transfer/machine/tape_decoder.h"

namespace korvane {

QString ReceivedProgram::text() const {
  QString t = QStringLiteral("%\n");
  for (const QString& b : blocks) t += b + QLatin1Char('\n');
  if (complete) t += QStringLiteral("%\n");
  return t;
}

QString ReceivedProgram::fileName() const {
  return (number.isEmpty() ? QStringLiteral("prog-%1").arg(index) : number) + QStringLiteral(".nc");
}

QString programNumberOf(const QString& block) {
  const QString t = block.trimmed();
  if (!t.startsWith(QLatin1Char('O'))) return {};
  QString digits;
  for (qsizetype i = 1; i < t.size(); ++i) {
    if (t[i] == QLatin1Char(' ')) {
      if (digits.isEmpty()) continue;
      break;
    }
    if (!t[i].isDigit()) break;
    digits += t[i];
  }
  if (digits.isEmpty()) return {};
  return QLatin1Char('O') + digits.rightJustified(4, QLatin1Char('0'));
}

void TapeDecoder::take(quint8 byte) {
  const TapeFrame frame = reader_.read(byte);
  phase_.see(frame.kind);
  switch (frame.kind) {
    case TapeFrameKind::Feed:
    case TapeFrameKind::FlowControl:
    case TapeFrameKind::CarriageReturn:  // LF ends the block; LF CR CR is one end of block
      return;
    case TapeFrameKind::StartReading:
    case TapeFrameKind::EndReading:
      (frame.kind == TapeFrameKind::StartReading ? dc2Count_ : dc4Count_) += 1;
      if (inProgram_) endProgram(false);  // the sender gave up in the middle of a program
      return;
    case TapeFrameKind::ParityError:
      ++parityErrors_;  // a fault on the line wherever it happens, leader included
      return;
    case TapeFrameKind::Unknown:
      if (inProgram_) ++unknownCodes_;  // the leader may carry anything
      return;
    case TapeFrameKind::Percent:
      if (!inProgram_) {
        startProgram();
      } else {
        if (!line_.isEmpty()) endBlock();
        endProgram(true);
      }
      return;
    case TapeFrameKind::EndOfBlock:
      // The end of block of the "%" line itself opens no empty first block.
      if (inProgram_ && (!line_.isEmpty() || !current_.blocks.isEmpty())) endBlock();
      return;
    case TapeFrameKind::Character:
      if (inProgram_) {
        line_ += frame.character;
        ++programCharacters_;
      }
      return;
  }
}

void TapeDecoder::endBlock() {
  const QString block = line_;
  line_.clear();
  const QString number = programNumberOf(block);
  if (!number.isEmpty()) {
    if (!current_.number.isEmpty()) {
      endProgram(true);
      startProgram();
    }
    current_.number = number;
  }
  current_.blocks << block;
}

void TapeDecoder::startProgram() {
  inProgram_ = true;
  current_ = ReceivedProgram{};
  current_.index = nextIndex_++;
  line_.clear();
}

void TapeDecoder::endProgram(bool complete) {
  if (!complete && !line_.isEmpty()) current_.blocks << line_;
  current_.complete = complete;
  if (!complete) ++incomplete_;
  done_ << current_;
  current_ = ReceivedProgram{};
  line_.clear();
  inProgram_ = false;
}

void TapeDecoder::finish() {
  if (inProgram_) endProgram(false);
}

QList<ReceivedProgram> TapeDecoder::takePrograms() {
  QList<ReceivedProgram> out;
  out.swap(done_);
  return out;
}

}  // namespace korvane
