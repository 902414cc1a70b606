#include "transfer/machine/tape_punch.h"

#include <cmath>

namespace korvane {

namespace {
constexpr int kDroppedSampleLength = 10;
}  // namespace

QStringList programBlocks(const QString& fileText) {
  QStringList lines = QString(fileText).remove(QLatin1Char('\r')).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the file's last LF
  qsizetype first = 0;
  while (first < lines.size() && lines[first].trimmed().isEmpty()) ++first;
  if (first < lines.size() && lines[first].trimmed() == QLatin1String("%")) {
    ++first;
  } else {
    first = 0;  // no framing: the whole file is the program
  }
  QStringList blocks;
  for (qsizetype i = first; i < lines.size(); ++i) {
    if (lines[i].trimmed() == QLatin1String("%")) break;
    blocks << lines[i];
  }
  return blocks;
}

PunchStream buildPunchStream(const QList<QStringList>& programs, TapeCode code) {
  PunchStream out;
  const quint8 eob = *convertSendCharacter(QLatin1Char('\n'), code);
  const quint8 percent = *convertSendCharacter(QLatin1Char('%'), code);
  out.bytes.append(kPunchFeedFrames, '\0');
  out.bytes.append(char(percent));
  out.bytes.append(char(eob));
  for (const QStringList& blocks : programs) {
    ++out.programs;
    for (const QString& block : blocks) {
      for (const QChar c : block) {
        // A "%" inside a block would end the tape there.
        const std::optional<quint8> byte =
            c == QLatin1Char('%') ? std::nullopt : convertSendCharacter(c, code);
        if (byte) {
          out.bytes.append(char(*byte));
        } else {
          ++out.dropped;
          if (out.droppedSample.size() < kDroppedSampleLength) out.droppedSample += c;
        }
      }
      out.bytes.append(char(eob));
    }
  }
  out.bytes.append(char(percent));
  out.bytes.append(kPunchFeedFrames, '\0');
  return out;
}

TapePunch::TapePunch(QByteArray stream, double charactersPerSecond, bool waitForRequest, double nowMs)
    : stream_(std::move(stream)), ratePerMs_(charactersPerSecond / 1000.0) {
  if (!waitForRequest) {
    start(nowMs);
    state_ = State::Running;
  }
}

void TapePunch::start(double atMs) {
  state_ = State::Starting;
  position_ = 0;
  basePosition_ = 0;
  baseMs_ = atMs;
}

void TapePunch::receive(const QByteArray& bytes, double nowMs) {
  for (const char c : bytes) {
    const quint8 code = static_cast<quint8>(c) & 0x7F;
    if (code == 0x11) {
      ++dc1_;
      if (state_ == State::Waiting) {
        start(nowMs + kPunchStartDelayMs);
      } else if (state_ == State::Held) {
        state_ = State::Running;
        basePosition_ = position_;
        baseMs_ = nowMs;
      }
    } else if (code == 0x13) {
      ++dc3_;
      if (punching()) state_ = State::Held;
    }
  }
}

QByteArray TapePunch::due(double nowMs) const {
  if (!punching() || nowMs < baseMs_) return {};
  qsizetype allowed = stream_.size();
  if (ratePerMs_ > 0) {
    const double dueCount = std::floor((nowMs - baseMs_) * ratePerMs_) + 1;  // the first is due at once
    allowed = std::min<qsizetype>(allowed, basePosition_ + qsizetype(std::min(dueCount, 1e12)));
  }
  if (allowed <= position_) return {};
  return stream_.mid(position_, allowed - position_);
}

void TapePunch::sent(int count, double nowMs) {
  if (count <= 0) return;
  if (state_ == State::Starting) state_ = State::Running;
  position_ += count;
  bytesSent_ += count;
  if (firstByteMs_ < 0) firstByteMs_ = nowMs;
  lastByteMs_ = nowMs;
  if (position_ >= stream_.size()) {
    ++completed_;
    state_ = State::Waiting;
    position_ = 0;
    basePosition_ = 0;
  }
}

double TapePunch::nextEventMs() const {
  if (!punching()) return -1;
  if (ratePerMs_ <= 0) return baseMs_;
  return baseMs_ + double(position_ - basePosition_) / ratePerMs_;
}

}  // namespace korvane
