#include "analysis/machining_state.h"

#include <bit>
#include <cstdint>

#include "analysis/decimal_format.h"

namespace korvane {

using namespace machining;

namespace {

// `a` if `condition`, else `b`, by masking bits rather than by a branch.
double choose(bool condition, double a, double b) {
  const std::uint64_t mask = std::uint64_t{0} - condition;
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(a) & mask) | (std::bit_cast<std::uint64_t>(b) & ~mask));
}

QString fixedText(double value, int decimals) { return QString::fromStdString(formatFixed(value, decimals)); }

}  // namespace

void MachiningState::startFile(const QString& displayName) {
  displayName_ = displayName;
  characters_ = 0;
  time_ = 0;
  cuttingLength_ = 0;
  hasProgramNumber_ = false;
  programNumber_ = 0;
  motionMode_ = 0;
  absolute_ = false;
  feed_ = kInitialFeed;
  position_ = {};
}

void MachiningState::block(const BlockWords& words) {
  characters_ += words.length + 1;
  // Only these exact texts end a program: "N10 M30" or "m30" do not. The opening "%" of a tape
  // (2 characters with its end of block) ends nothing; neither does a "%" right after an M30.
  if (words.is("M30") || words.is("M99") || (words.is("%") && characters_ > 2)) {
    emitRow();
  } else {
    apply(words);
  }
}

void MachiningState::emitRow() {
  MachiningRow row;
  row.fileName = displayName_;
  if (hasProgramNumber_) row.programNumber = fixedText(programNumber_, 0);
  row.time = fixedText(time_, 2);
  row.cuttingLength = fixedText(cuttingLength_, 2);
  row.tapeLength = fixedText(static_cast<double>(characters_) * kTapePitch / 1000, 2);
  row.characters = characters_;
  displayName_.clear();
  time_ = 0;
  cuttingLength_ = 0;
  characters_ = 0;
  onRow_(row);
}

void MachiningState::apply(const BlockWords& words) {
  // Whether a block has a word, and its value, change from block to block in no order a
  // processor can guess: the values are worked out and chosen without branching on them.
  const auto has = [&words](BlockWord w) { return words.isFound(static_cast<int>(w)); };
  const auto written = [&words](BlockWord w) { return words.numbers[static_cast<size_t>(w)]; };
  // 0 for a word not written, which then neither moves nor shapes an arc.
  const auto value = [&words](BlockWord w) { return words.valueOrZero(w); };

  absolute_ = (absolute_ || words.g90) && !words.g91;
  motionMode_ = choose(has(BlockWord::G0), value(BlockWord::G0), motionMode_);
  if (has(BlockWord::O)) [[unlikely]] {
    if (const double o = value(BlockWord::O); o != 0) {
      hasProgramNumber_ = true;
      programNumber_ = o;
    }
  }
  feed_ = choose(has(BlockWord::F), written(BlockWord::F), feed_);  // taken as written: F100. is 100 mm/min
  feed_ = choose(feed_ == 0, kDefaultFeed, feed_);
  feed_ = choose(motionMode_ == 0, kRapidRate, feed_);  // and stays so for a following block without F

  const double x = value(BlockWord::X);
  const double y = value(BlockWord::Y);
  const double z = value(BlockWord::Z);
  const double i = value(BlockWord::I);
  const double j = value(BlockWord::J);
  const double r = value(BlockWord::R);
  // A word written with the value 0 does not make a move.
  if (!((x != 0) | (y != 0) | (z != 0) | (i != 0) | (j != 0) | (r != 0))) return;

  // Absolute: a coordinate not written stays where it was. Incremental: it moves by 0.
  const Point end{
      choose(absolute_, choose(has(BlockWord::X), x, position_.x), position_.x + x),
      choose(absolute_, choose(has(BlockWord::Y), y, position_.y), position_.y + y),
      choose(absolute_, choose(has(BlockWord::Z), z, position_.z), position_.z + z),
  };
  const double length = motionMode_ <= 1 ? lineLength(position_, end) : arcLength(position_, end, motionMode_, {r, i, j});
  time_ += (length / 1000) / feed_;
  cuttingLength_ += choose(motionMode_ != 0, length / 1000, 0.0);
  position_ = end;
}

}  // namespace korvane
