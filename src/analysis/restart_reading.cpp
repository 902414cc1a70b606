#include "analysis/restart_reading.h"

namespace korvane {

namespace {

class RecordingObserver final : public ReadingObserver {
 public:
  RecordingObserver(QByteArrayView program, const RestartAt& at, ProgramRecords& out)
      : program_(program), at_(at), out_(out) {}

  void blockRead(std::int64_t ordinal, const BlockPlace& place, const BlockWords& w) override {
    BlockRecord r;
    r.place = place;
    r.found = w.found;
    r.flags = w.flags;
    r.tDigits = w.tDigits;
    r.mCodes = w.mCodes;
    if (w.has(Address::N)) r.n = w.number(Address::N);
    if (w.has(Address::H)) r.h = w.number(Address::H);
    if (w.has(Address::P)) r.p = w.number(Address::P);
    if (w.has(Address::Q)) r.q = w.number(Address::Q);
    if (w.has(Address::T)) r.t = w.number(Address::T);
    r.motion = w.code(Group::Motion);
    r.oneShot = w.code(Group::OneShot);
    r.cutter = w.code(Group::CutterComp);
    r.length = w.code(Group::LengthComp);
    r.retract = w.code(Group::Retract);
    r.distance = w.code(Group::Distance);
    r.feedMode = w.code(Group::FeedMode);
    r.otherCode = w.codes[kGroupCount];
    out_.blocks.resize(static_cast<std::size_t>(ordinal) + 1);
    out_.blocks[static_cast<std::size_t>(ordinal)] = r;
    lastRead_ = ordinal;
    if (out_.target < 0 && !targetNamedByState()) {
      const bool named = at_.selector ? at_.selector->matchesRead(w, place, program_.sliced(place.offset, place.bytes))
                                      : ordinal == at_.ordinal;
      if (named) out_.target = ordinal;
    }
  }

  void block(std::int64_t ordinal, const ModalState& state, double minutes) override {
    if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(out_.blocks.size())) return;
    BlockRecord& r = out_.blocks[static_cast<std::size_t>(ordinal)];
    r.told = true;
    r.passedOver = state.shapeBlock;
    r.cycle = static_cast<std::uint8_t>(state.cycle);
    r.cutterInForce = static_cast<std::uint8_t>(state.cutterCompensation);
    r.toolChanges = state.toolChanges;
    r.minutes = minutes;
    if (out_.target < 0 && targetNamedByState() && at_.selector->matchesState(state)) out_.target = ordinal;
    if (ordinal == out_.target && !stateTaken_) {
      out_.state = state;
      stateTaken_ = true;
    }
  }

  void move(const Move&) override {}

  void rowEnded(const MachiningRow&) override {
    if (lastRead_ >= 0) out_.blocks[static_cast<std::size_t>(lastRead_)].endsProgram = true;
  }

 private:
  bool targetNamedByState() const { return at_.selector && at_.selector->kind() == BlockSelector::Kind::ToolChange; }

  QByteArrayView program_;
  const RestartAt& at_;
  ProgramRecords& out_;
  std::int64_t lastRead_ = -1;
  bool stateTaken_ = false;
};

}  // namespace

ProgramRecords readProgramRecords(QByteArrayView program, const QString& displayName, const MachineModel& machine,
                                  const RestartAt& at) {
  ProgramRecords records;
  RecordingObserver observer(program, at, records);
  readProgramBytes(program, displayName, machine, observer);
  // A block named by what it holds that is told only later (behind a lathe cycle waiting for
  // its shape) has had its state taken when it was told; one never told has none.
  if (records.target >= 0 && !records.blocks[static_cast<std::size_t>(records.target)].told) records.target = -1;
  return records;
}

}  // namespace korvane
