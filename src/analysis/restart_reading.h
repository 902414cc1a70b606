#pragma once
// The reading of a program as a restart needs it: every block with where it stands, the words a
// restart looks at before and after the block it starts from, and the state each block finds;
// the whole state of one block, the one to start from. The same reading as the time estimate's,
// so that the restart rebuilds exactly what the estimate followed.

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/block_selector.h"
#include "analysis/program_reading.h"

namespace korvane {

// One block of the program, as a restart and the list of blocks see it.
struct BlockRecord {
  BlockPlace place;
  double n = 0;  // N, where `found` has it
  double h = 0;  // H
  double p = 0;  // P
  double q = 0;  // Q
  double t = 0;  // T
  std::uint32_t found = 0;  // the addresses written, a bit each (bitOf)
  std::uint8_t flags = 0;   // BlockWords::Flag
  std::uint8_t tDigits = 0;
  std::uint16_t mCodes = 0;
  std::uint8_t motion = kNoCode;   // the block's own codes, kNoCode where none
  std::uint8_t oneShot = kNoCode;
  std::uint8_t cutter = kNoCode;
  std::uint8_t length = kNoCode;
  std::uint8_t retract = kNoCode;
  std::uint8_t distance = kNoCode;
  std::uint8_t feedMode = kNoCode;
  std::uint8_t otherCode = kNoCode;  // a G code of no group the reading follows (G68, G51, ...)
  // The state the block finds, where it was carried out or passed over.
  bool told = false;
  bool passedOver = false;    // a shape block, lent to its cycle
  bool endsProgram = false;   // a result row ended with it
  std::uint8_t cycle = 0;     // drilling or lathe single cycle in force
  std::uint8_t cutterInForce = 40;
  std::int32_t toolChanges = 0;
  double minutes = 0;

  bool has(Address a) const { return (found & bitOf(a)) != 0; }
  bool is(BlockWords::Flag f) const { return (flags & f) != 0; }
};

// Where to start: a block as an operator names it, or a block by its place among the file's
// blocks (from 0), as a list of the blocks shows them.
struct RestartAt {
  std::optional<BlockSelector> selector;
  std::int64_t ordinal = -1;
};

struct ProgramRecords {
  std::vector<BlockRecord> blocks;
  // The block named by RestartAt, and the whole state it finds; -1 when none is so named.
  std::int64_t target = -1;
  ModalState state;
};

// Reads the program as the time estimate does, for `machine`.
ProgramRecords readProgramRecords(QByteArrayView program, const QString& displayName, const MachineModel& machine,
                                  const RestartAt& at = {});

}  // namespace korvane
