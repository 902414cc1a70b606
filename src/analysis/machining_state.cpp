#include "analysis/machining_state.h"

#include "analysis/decimal_format.h"

namespace korvane {

using namespace machining;

namespace {

bool isNonZero(const std::optional<double>& word) { return word && *word != 0; }

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
  if (words.g90) absolute_ = true;
  if (words.g91) absolute_ = false;

  const auto o = words.value(BlockWord::O);
  const auto g0 = words.value(BlockWord::G0);
  const auto x = words.value(BlockWord::X);
  const auto y = words.value(BlockWord::Y);
  const auto z = words.value(BlockWord::Z);
  const auto i = words.value(BlockWord::I);
  const auto j = words.value(BlockWord::J);
  const auto r = words.value(BlockWord::R);
  const auto f = words.word(BlockWord::F);

  if (g0) motionMode_ = *g0;
  if (isNonZero(o)) {
    hasProgramNumber_ = true;
    programNumber_ = *o;
  }
  if (f) feed_ = f->number;  // a feed is taken as written: F100. is 100 mm/min
  if (feed_ == 0) feed_ = kDefaultFeed;
  if (motionMode_ == 0) feed_ = kRapidRate;  // and stays so for a following block without F

  // A word written with the value 0 does not make a move.
  if (!(isNonZero(x) || isNonZero(y) || isNonZero(z) || isNonZero(i) || isNonZero(j) || isNonZero(r))) return;

  Point end;
  if (absolute_) {
    end.x = x.value_or(position_.x);
    end.y = y.value_or(position_.y);
    end.z = z.value_or(position_.z);
  } else {
    end.x = position_.x + x.value_or(0);
    end.y = position_.y + y.value_or(0);
    end.z = position_.z + z.value_or(0);
  }
  const double length = motionMode_ <= 1 ? lineLength(position_, end) : arcLength(position_, end, motionMode_, {r, i, j});
  time_ += (length / 1000) / feed_;
  if (motionMode_ != 0) cuttingLength_ += length / 1000;
  position_ = end;
}

}  // namespace korvane
