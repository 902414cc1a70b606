#pragma once
// The figures of one NC file while its blocks are measured, and the result rows it yields: one
// row per program end (a block with M30, M02 or M99, or a closing "%").

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "analysis/block_words.h"
#include "analysis/lathe_motion.h"
#include "analysis/machine_model.h"
#include "analysis/mill_motion.h"

namespace korvane {

// One row of the result window, as its five columns show it.
struct MachiningRow {
  QString fileName;       // the file's bare name on its first row, empty on later rows
  QString programNumber;  // last nonzero O number, no decimals; empty when none was seen
  QString time;           // minutes, "0.00"
  QString cuttingLength;  // millimetres, "0.00"
  QString tapeLength;     // metres, "0.00"
  std::int64_t characters = 0;  // the tape characters behind the tape length
  double minutes = 0;           // the time behind `time`, not rounded

  QStringList texts() const { return {fileName, programNumber, time, cuttingLength, tapeLength}; }
};

class MachiningState {
 public:
  using RowHandler = std::function<void(const MachiningRow&)>;

  explicit MachiningState(RowHandler onRow, const MachineModel& machine = {});

  // Where the moves and states go besides the totals (the toolpath view, the restart).
  void setObserver(MotionObserver* observer);

  // Every file starts from the same state.
  void startFile(const QString& displayName);

  // One finished block: counts its characters and its end-of-block character, carries out its
  // words, and ends the program (a row) where it holds M30, M02 or M99 or is a closing "%".
  void block(const BlockWords& words);

  // The file ended: its last program gives its row here when it holds any move (a program
  // without an end code, or cut off in a transfer, still shows what it holds).
  void finishFile();

  const MachineModel& machine() const { return machine_; }

 private:
  void endProgram();
  void emitRow();

  RowHandler onRow_;
  MachineModel machine_;
  QString displayName_;
  std::int64_t characters_ = 0;
  std::int64_t ordinal_ = 0;
  MotionTotals totals_;
  bool hasProgramNumber_ = false;
  double programNumber_ = 0;
  MillMotion mill_;
  LatheMotion lathe_;
  MotionObserver* observer_ = nullptr;
};

}  // namespace korvane
