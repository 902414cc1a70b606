#pragma once
// A program sent again from a block in its middle (after a broken tool, say): a short header
// that puts the control into the state the reading found just before that block (units, plane,
// distance and feed mode, work offset, tool, spindle, coolant, and on a lathe the speed limit,
// surface speed and feed per revolution), an approach to where the tool stood, then the block
// and the rest of the program as written, byte for byte.
//
// What cannot be rebuilt is refused with the reason, never guessed: a block inside a lathe
// cycle's shape, one with cutter compensation in force, inside or after a macro, in a program
// whose coordinates were set by the program itself, or whose subprogram calls could not be
// expanded. Where another block would do, the refusal names it.

#include <QByteArray>
#include <QString>
#include <optional>

#include "analysis/restart_reading.h"

namespace korvane {

struct PortProfile;

struct RestartOptions {
  // A machining centre gets T and M06 for the tool in force; a machine that keeps the tool in
  // the spindle after a stop gets neither (a lathe's T always goes: it sets the offset).
  bool writeToolChange = true;
};

RestartOptions restartOptionsOf(const PortProfile& profile);

// A block as the operator sees it: its place among the file's blocks, its line and N number.
struct BlockName {
  std::int64_t ordinal = -1;
  std::int64_t line = 0;
  bool numbered = false;
  double number = 0;

  // "N120（12 行目）", or "12 行目" for a block without a number.
  QString describe() const;
  // A selector that names exactly this block: "line:12".
  QString selector() const { return QStringLiteral("line:%1").arg(line); }
};

struct RestartProgram {
  bool ok = false;
  QString reason;                 // why there is none: refused, or no such block
  std::optional<BlockName> offer;  // where a restart can be made instead
  BlockName block;                // the block restarted from
  double minutes = 0;             // the time into its program when it begins, as the estimate counts
  QByteArray header;              // the blocks written before it, each with its line end
  QByteArray text;                // the whole restart program
};

// The restart program of `program` (the bytes of a file) from the block `at` names.
RestartProgram buildRestartProgram(QByteArrayView program, const QString& displayName, const RestartAt& at,
                                   const MachineModel& machine, const RestartOptions& options = {});

// The same from a program already read.
RestartProgram buildRestartProgram(QByteArrayView program, const ProgramRecords& records, const MachineModel& machine,
                                   const RestartOptions& options = {});

}  // namespace korvane
