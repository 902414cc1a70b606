#include "analysis/machining_state.h"

#include <cmath>

#include "analysis/decimal_format.h"
#include "analysis/wide_registers.h"

namespace korvane {

using namespace machining;

namespace {

QString fixedText(double value, int decimals) {
  const std::string text = formatFixed(value, decimals);  // ASCII
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MachiningState::MachiningState(RowHandler onRow, const MachineModel& machine)
    : onRow_(std::move(onRow)), machine_(machine), mill_(machine), lathe_(machine) {}

void MachiningState::setObserver(MotionObserver* observer) {
  observer_ = observer;
  mill_.setObserver(observer);
  lathe_.setObserver(observer);
}

void MachiningState::startFile(const QString& displayName) {
  displayName_ = displayName;
  characters_ = 0;
  ordinal_ = 0;
  totals_ = {};
  hasProgramNumber_ = false;
  programNumber_ = 0;
  if (machine_.lathe()) {
    lathe_.reset();
  } else {
    mill_.reset();
  }
}

void MachiningState::block(const BlockWords& words) {
  characters_ += words.length + 1;
  if (words.is(BlockWords::kNumbered) && words.has(Address::O) && words.number(Address::O) != 0) [[unlikely]] {
    hasProgramNumber_ = true;
    programNumber_ = words.number(Address::O);
  }
  const std::int64_t ordinal = ordinal_++;
  if (machine_.lathe()) [[unlikely]] {
    lathe_.apply(words, ordinal, totals_);
  } else {
    mill_.apply(words, ordinal, totals_);
  }
  // The opening "%" of a tape (2 characters with its end of block) ends nothing; neither does a
  // "%" right after an M30.
  if (words.is(BlockWords::kProgramEnd) || (words.is(BlockWords::kPercentOnly) && characters_ > 2)) endProgram();
}

void MachiningState::finishFile() {
  if (machine_.lathe()) lathe_.endProgram(totals_);
  if (totals_.moved) emitRow();
}

void MachiningState::endProgram() {
  // A lathe cycle that waits for a shape after it gets what the program holds, and its moves
  // belong to this program.
  if (machine_.lathe()) lathe_.endProgram(totals_);
  emitRow();
}

void MachiningState::emitRow() {
  MachiningRow row;
  row.fileName = displayName_;
  if (hasProgramNumber_) row.programNumber = fixedText(std::fabs(programNumber_), 0);
  row.time = fixedText(totals_.minutes, 2);
  row.cuttingLength = fixedText(totals_.cuttingMillimetres, 2);
  row.tapeLength = fixedText(static_cast<double>(characters_) * kTapePitch / 1000, 2);
  row.characters = characters_;
  row.minutes = totals_.minutes;
  displayName_.clear();
  totals_ = {};
  characters_ = 0;
  if (observer_) observer_->rowEnded(row);
  onRow_(row);
  releaseWideRegisters();  // the row's texts were copied, and the next program is measured now
}

}  // namespace korvane
