#pragma once
// The builder of one restart program from the records of a reading: its refusals
// (restart_program.cpp) and its header (restart_header.cpp). Internal to the restart.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

#include "analysis/restart_program.h"
#include "analysis/restart_text.h"

namespace korvane::restart {

namespace rt = restart_text;

inline bool isPlainMotion(std::uint8_t code) { return code <= 3 || code == 32; }
inline bool isDrillingCode(std::uint8_t code) { return code == 73 || code == 74 || code == 76 || (code >= 81 && code <= 89); }

// A lathe's single cycle code written in a block: G90, G92 and G94 are its cycles there.
inline int latheSingleCycleCode(const BlockRecord& r) {
  if (r.distance == 90) return 90;
  if (r.oneShot == 92) return 92;
  if (r.feedMode == 94) return 94;
  return 0;
}

inline QByteArray gCode(int code) { return QByteArray("G") + QByteArray::number(code).rightJustified(2, '0'); }

struct Refusal {
  QString reason;
  std::int64_t offer = -1;
};

// Builds one restart program from the records of a reading.
class Builder {
 public:
  Builder(QByteArrayView program, const ProgramRecords& records, const MachineModel& machine,
          const RestartOptions& options)
      : bytes_(program),
        blocks_(records.blocks),
        s_(records.state),
        b_(records.target),
        machine_(machine),
        options_(options),
        eol_(rt::lineEndOf(program)) {}

  RestartProgram build();

 private:
  const BlockRecord& at(std::int64_t k) const { return blocks_[static_cast<std::size_t>(k)]; }
  std::int64_t count() const { return static_cast<std::int64_t>(blocks_.size()); }
  QByteArrayView textOf(std::int64_t k) const { return bytes_.sliced(at(k).place.offset, at(k).place.bytes); }
  BlockName nameOf(std::int64_t k) const {
    const BlockRecord& r = at(k);
    return {k, r.place.line, r.has(Address::N), r.n};
  }
  bool carriedOut(std::int64_t k) const { return at(k).told && !at(k).passedOver; }
  QByteArray len(double mm) const { return rt::length(mm, s_.inch); }

  std::optional<Refusal> refusal() const;
  std::optional<Refusal> coordinateSetting() const;
  std::optional<Refusal> shapeBeforeRestart() const;
  std::optional<Refusal> cycleWithoutPosition() const;
  std::int64_t nextBlockInOrOutOfCycle() const;

  // The header: the state (restart_header.cpp), the approach, the block with what it needs in
  // front of it. Problems that stop the restart go to problem_.
  void writeHeader();
  void writeMillState(bool feedInApproach);
  void writeLatheState();
  void writeWorkOffset();
  void writeSpindleDirectionAndCoolant(bool directionOnItsOwn);
  QList<QByteArray> millApproach(bool* feedDown);
  QList<QByteArray> latheApproach() const;
  QList<QByteArray> referenceReturns(bool lathe, int firstAxis, int lastAxis) const;
  void writeCycleSettings();
  void writeMotionAndBlock();
  QByteArray cycleWords() const;
  std::pair<int, double> lengthCompensationForApproach() const;
  double approachTargetZ() const;
  bool continuesCycle() const;
  void line(const QByteArray& text) { header_ += text + eol_; }

  QByteArrayView bytes_;
  const std::vector<BlockRecord>& blocks_;
  const ModalState& s_;
  std::int64_t b_;
  const MachineModel& machine_;
  const RestartOptions& options_;
  QByteArray eol_;
  BlockWords words_;  // of the block restarted from
  std::int64_t programStart_ = 0;
  std::int64_t programEnd_ = 0;
  QByteArray header_;
  QByteArray block_;  // the block restarted from, as sent
  std::int64_t laterMotionBlock_ = -1;  // a block after it that takes the motion code in force
  QByteArray laterMotion_;
  QString problem_;
};

}  // namespace korvane::restart
