#include "transfer/machine/tape_reader_model.h"

#include <algorithm>

namespace korvane {

namespace {
constexpr quint8 kDc1 = 0x11;
constexpr quint8 kDc3 = 0x13;
// Event times are nudged past the instant they fall due, so that rounding cannot make a wake-up
// land a hair before the character it waits for.
constexpr double kEpsilonMs = 1e-3;
}  // namespace

double ReaderConfig::takeRate() const {
  const double line = frame.characterRate(baud);
  if (consumeCps > 0) return line > 0 ? std::min(line, consumeCps) : consumeCps;
  return line;
}

int ReaderConfig::effectiveMargin() const {
  if (bufferSize <= 0) return 0;
  return std::clamp(margin, 1, std::max(1, bufferSize / 2));
}

int ReaderConfig::highWater() const {
  if (bufferSize <= 0) return 0;
  return bufferSize - effectiveMargin();
}

int ReaderConfig::lowWater() const {
  if (bufferSize <= 0) return 0;
  return std::max(0, std::min(bufferSize / 2, highWater() - 1));
}

TapeReaderModel::TapeReaderModel(const ReaderConfig& config)
    : config_(config),
      rate_(config.takeRate() / 1000.0),
      highWater_(config.highWater()),
      lowWater_(config.lowWater()),
      frames_(config.code, config.frame),
      decoder_(config.code, config.frame) {}

QByteArray TapeReaderModel::receive(const QByteArray& bytes, double nowMs) {
  QByteArray out = advance(nowMs);
  if (bytes.isEmpty()) return out;
  nowMs = lastTickMs_;
  if (stats_.firstArrivalMs < 0) stats_.firstArrivalMs = nowMs;
  endWait();
  const bool bounded = config_.bufferSize > 0;
  for (const char c : bytes) {
    const auto byte = static_cast<quint8>(c);
    ++stats_.characters;
    const TapeFrameKind kind = frames_.read(byte).kind;
    const bool newTape = newTape_.startsNewTape(kind, arrival_.inProgram(), nowMs, stats_.dc1Sent > 0 ? dc1Ms_ : -1.0);
    if (newTape) {
      arrival_.restart();
    } else {
      arrival_.see(kind);
    }
    bool overrun = false;
    if (holding_) {
      ++afterDc3_;
      ++stats_.bytesAfterDc3;
      if (nowMs - dc3Ms_ > kDc3LateMs) ++stats_.bytesAfterDc3Late;
      if (afterDc3_ > kDc3Allowance) overrun = true;
      stats_.maxBytesAfterDc3 = std::max(stats_.maxBytesAfterDc3, afterDc3_);
    }
    if (resumeOwed_) {
      resumeOwed_ = false;
      ++stats_.resumeSamples;
      stats_.maxResumeLatencyMs = std::max(stats_.maxResumeLatencyMs, nowMs - dc1Ms_);
    }
    if (bounded && int(buffer_.size()) >= config_.bufferSize) {
      ++stats_.lost;
      overrun = true;
    } else {
      buffer_.push_back({byte, newTape});
    }
    if (overrun) ++stats_.overruns;
    stats_.maxBufferLevel = std::max(stats_.maxBufferLevel, int(buffer_.size()));
  }
  if (rate_ <= 0) takeUntil(nowMs);
  if (bounded && config_.xonXoff && !holding_ && int(buffer_.size()) >= highWater_) {
    holding_ = true;
    dc3Ms_ = nowMs;
    afterDc3_ = 0;
    ++stats_.dc3Sent;
    out += char(kDc3);
  }
  return out;
}

QByteArray TapeReaderModel::advance(double nowMs) {
  if (!started_) {
    started_ = true;
    lastTickMs_ = nowMs;
  }
  takeUntil(std::max(nowMs, lastTickMs_));
  QByteArray out;
  if (rate_ > 0 && buffer_.empty() && arrival_.executing() && !starvationCounted_ &&
      credit_ - 1.0 >= graceSlots()) {
    ++stats_.starvations;
    starvationCounted_ = true;
  }
  if (holding_ && int(buffer_.size()) <= lowWater_) {
    holding_ = false;
    ++stats_.dc1Sent;
    dc1Ms_ = lastTickMs_;
    // A DC1 after the closing "%" has arrived asks for nothing the sender still owes.
    resumeOwed_ = arrival_.inProgram();
    out += char(kDc1);
  }
  return out;
}

void TapeReaderModel::takeUntil(double nowMs) {
  const double startMs = lastTickMs_;
  lastTickMs_ = nowMs;
  if (rate_ <= 0) {
    while (!buffer_.empty()) takeOne(nowMs);
    return;
  }
  const double startCredit = credit_;
  credit_ += (nowMs - startMs) * rate_;
  int k = 0;
  while (!buffer_.empty() && credit_ >= 1.0) {
    ++k;
    // The k-th character was taken as soon as the reader had the time for it.
    takeOne(startMs + std::max(0.0, k - startCredit) / rate_);
    credit_ -= 1.0;
  }
}

void TapeReaderModel::takeOne(double atMs) {
  const Slot slot = buffer_.front();
  buffer_.pop_front();
  const bool was = decoder_.executing();
  if (slot.newTape) decoder_.startNewTape();
  decoder_.take(slot.byte);
  const bool is = decoder_.executing();
  ++stats_.taken;
  stats_.lastTakeMs = atMs;
  if (!was && is) {
    executingSinceMs_ = atMs;
    executingCharacters_ = 0;
  }
  if (was || is) ++executingCharacters_;
  if (was && !is) {
    stats_.executingMs += atMs - executingSinceMs_ + characterMs();
    stats_.executedCharacters += executingCharacters_;
  }
}

double TapeReaderModel::graceSlots() const { return std::max(kStarvationGraceSlots, kStarvationGraceMs * rate_); }

void TapeReaderModel::endWait() {
  // An empty reader does not save up time: once a byte comes it can take only that one at once.
  if (rate_ > 0 && buffer_.empty() && credit_ > 1.0) {
    if (starvationCounted_) stats_.starvationMs += (credit_ - 1.0) / rate_;
    credit_ = 1.0;
  }
  if (buffer_.empty()) starvationCounted_ = false;
}

double TapeReaderModel::nextEventMs() const {
  if (rate_ <= 0) return -1;
  const int level = int(buffer_.size());
  if (level > 0) {
    // Holding: when the buffer has drained to low water. Otherwise: when it runs empty, the
    // moment from which starvation and the end of a program can be judged.
    const int need = holding_ ? level - lowWater_ : level;
    if (need <= 0) return lastTickMs_;
    return lastTickMs_ + std::max(0.0, need - credit_) / rate_ + kEpsilonMs;
  }
  if (arrival_.executing() && !starvationCounted_)
    return lastTickMs_ + std::max(0.0, 1.0 + graceSlots() - credit_) / rate_ + kEpsilonMs;
  return -1;
}

void TapeReaderModel::finish(double nowMs) {
  advance(nowMs);
  if (starvationCounted_ && rate_ > 0 && credit_ > 1.0) stats_.starvationMs += (credit_ - 1.0) / rate_;
  starvationCounted_ = false;
  // The reader goes on taking what its buffer holds at its own pace.
  const double credit = rate_ > 0 ? std::min(credit_, 1.0) : 0.0;
  for (int k = 1; !buffer_.empty(); ++k)
    takeOne(rate_ > 0 ? lastTickMs_ + std::max(0.0, k - credit) / rate_ : lastTickMs_);
  if (decoder_.executing()) {
    stats_.executingMs += stats_.lastTakeMs - executingSinceMs_ + characterMs();
    stats_.executedCharacters += executingCharacters_;
  }
  decoder_.finish();
  resumeOwed_ = false;
}

}  // namespace korvane
