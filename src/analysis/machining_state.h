#pragma once
// The figures of one NC file while its blocks are measured, and the result rows it yields: one
// row per program end (a block with M30, M02 or M99, or a closing "%").

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "analysis/block_words.h"
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


  QStringList texts() const { return {fileName, programNumber, time, cuttingLength, tapeLength}; }
};

class MachiningState {
 public:
  using RowHandler = std::function<void(const MachiningRow&)>;

  explicit MachiningState(RowHandler onRow, double rapidRate = machining::kDefaultRapidRate)
      : onRow_(std::move(onRow)), motion_(rapidRate) {}

  // Every file starts from the same state; figures after its last program end are dropped.
  void startFile(const QString& displayName);

  // One finished block: counts its characters and its end-of-block character, carries out its
  // words, and ends the program (a row) where it holds M30, M02 or M99 or is a closing "%".
  void block(const BlockWords& words);

 private:
  void emitRow();

  RowHandler onRow_;
  QString displayName_;
  std::int64_t characters_ = 0;
  MillMotion::Totals totals_;
  bool hasProgramNumber_ = false;
  double programNumber_ = 0;
  MillMotion motion_;
};

}  // namespace korvane
