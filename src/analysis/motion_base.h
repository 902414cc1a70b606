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
  bool moved = false;  // a rapid, feed or arc was made, even one of no length
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

  // The seconds a G04 block dwells, or nothing when it names none: P in milliseconds (a point
  // changes nothing), else X or U in seconds with a point and in milliseconds without one (in
  // seconds too on a calculator-type control).
  double dwellSeconds(const BlockWords& w) const {
    if (w.has(Address::P)) return w.number(Address::P) / 1000;
    if (!w.has(Address::X) && !w.has(Address::U)) return 0;
    const Address a = w.has(Address::X) ? Address::X : Address::U;
    return w.hasPoint(a) || machine_.calculatorInput ? w.number(a) : w.number(a) / 1000;
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

// Whether a block sets any of the groups from the plane to the length compensation: most set
// none, which one look at their eight bytes tells.
inline bool setsModes(const BlockWords& w) {
  static_assert(static_cast<int>(Group::LengthComp) == 7 && static_cast<int>(Group::Motion) == 8);
  std::uint64_t modes;
  std::memcpy(&modes, w.codes.data(), sizeof modes);
  return modes != ~std::uint64_t{0};
}

}  // namespace korvane
