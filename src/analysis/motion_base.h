#pragma once
// What the mill and the lathe reading share: the machine, the modal state, the running totals of
// the program being measured, and the moves told to an observer where one follows the reading.

#include <cstring>

#include "analysis/block_words.h"
#include "analysis/machine_model.h"
#include "analysis/motion_observer.h"

namespace korvane {

struct MotionTotals {
  double minutes = 0;
  double cuttingMillimetres = 0;
};

class MotionBase {
 public:
  explicit MotionBase(const MachineModel& machine) : machine_(machine) {}

  const MachineModel& machine() const { return machine_; }
  const ModalState& state() const { return state_; }

  // Where the moves go besides the totals: nothing by default.
  void setObserver(MotionObserver* observer) { observer_ = observer; }
  MotionObserver* observer() const { return observer_; }

 protected:
  // The block being carried out is told to the observer, in the state it finds.
  void beginBlock(std::int64_t ordinal, const MotionTotals& totals) {
    block_ = ordinal;
    if (observer_) [[unlikely]] observer_->block(ordinal, state_, totals.minutes);
  }

  // Tells the observer of a move whose time and length are already in the totals.
  void tell(Move move, const MotionTotals& totals) const {
    move.block = block_;
    move.tool = state_.tool;
    move.minutes = totals.minutes;
    observer_->move(move);
  }

  // The M codes of the spindle and the coolant, as a restart must rebuild them.
  void switchSpindleAndCoolant(const BlockWords& w) {
    if (w.hasM(kSpindleForward)) state_.spindleDirection = 3;
    if (w.hasM(kSpindleReverse)) state_.spindleDirection = 4;
    if (w.hasM(kSpindleStop)) state_.spindleDirection = 5;
    if (w.hasM(kCoolantOff)) state_.mist = state_.flood = false;
    if (w.hasM(kMistCoolant)) state_.mist = true;
    if (w.hasM(kFloodCoolant)) state_.flood = true;
  }

  // The groups a restart rebuilds that no time depends on: work offset and compensations.
  void setOffsets(const BlockWords& w) {
    if (const auto offset = w.code(Group::WorkOffset); offset != kNoCode) {
      state_.workOffset = offset;
      state_.workOffsetNumber = offset == kExtraWorkOffsetCode && w.has(Address::P) ? w.number(Address::P) : 0;
    }
    if (const auto cutter = w.code(Group::CutterComp); cutter != kNoCode) state_.cutterCompensation = cutter;
    if (const auto length = w.code(Group::LengthComp); length != kNoCode) {
      state_.lengthCompensation = length;
      if (w.has(Address::H)) state_.lengthOffset = w.number(Address::H);
    }
  }

  // The axes a block's words name (X/U and Z/W on a lathe) now stand as `how` says.
  void placeAxes(const BlockWords& w, AxisPlace how) {
    const bool lathe = machine_.lathe();
    if (w.found & (lathe ? bitOf(Address::X) | bitOf(Address::U) : bitOf(Address::X))) state_.axisPlace[0] = how;
    if (!lathe && w.has(Address::Y)) state_.axisPlace[1] = how;
    if (w.found & (lathe ? bitOf(Address::Z) | bitOf(Address::W) : bitOf(Address::Z))) state_.axisPlace[2] = how;
  }

  void noteMacro(const BlockWords& w) {
    const auto oneShot = w.code(Group::OneShot);
    if (w.is(BlockWords::kMacro) || oneShot == 65 || oneShot == 66) state_.macroSeen = true;
  }

  MachineModel machine_;
  ModalState state_;
  MotionObserver* observer_ = nullptr;
  std::int64_t block_ = 0;
};

// Whether a block sets any group but the motion and one-shot groups: most set none, which two
// looks at the codes tell.
inline bool setsModes(const BlockWords& w) {
  static_assert(static_cast<int>(Group::Motion) == 0 && static_cast<int>(Group::OneShot) == 6 &&
                static_cast<int>(Group::SpindleMode) == 10 && sizeof w.codes == 16);
  std::uint64_t low;
  std::uint64_t high;
  std::memcpy(&low, w.codes.data(), sizeof low);
  std::memcpy(&high, w.codes.data() + 8, sizeof high);
  // Bytes 1-5 and 7 of the first half (plane to return level, work offset), 8-10 of the second.
  constexpr std::uint64_t kLow = 0xFF00'FFFF'FFFF'FF00ULL;
  constexpr std::uint64_t kHigh = 0x0000'0000'00FF'FFFFULL;
  return (low & kLow) != kLow || (high & kHigh) != kHigh;
}

}  // namespace korvane
