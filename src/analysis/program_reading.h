#pragma once
// The reading of one program for those who show or rebuild it rather than only measure it: the
// same blocks, states, moves and rows as the time estimate, each block told with where it stands
// in the file (its line and its bytes), so that a view can show its text and a restart can copy
// the program from it on.

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>

#include "analysis/block_words.h"
#include "analysis/machine_model.h"
#include "analysis/machining_state.h"
#include "analysis/motion_observer.h"

namespace korvane {

// Where a block stands: its text line (1 for the first; CR LF, a lone CR and LF each end one)
// and that line's bytes in the file, its line end left out.
struct BlockPlace {
  std::int64_t line = 0;
  std::int64_t offset = 0;
  std::int64_t bytes = 0;
};

class ReadingObserver : public MotionObserver {
 public:
  // A block has been read, block number `ordinal` of the file (from 0). It is carried out at
  // once (block() follows with its state), or later, behind a lathe cycle that waits for a shape
  // after it; the blocks of a shape that a cycle lends its moves are told as passed over.
  virtual void blockRead(std::int64_t ordinal, const BlockPlace& place, const BlockWords& words) = 0;
};

// How far the reading has come, as a share of the file's bytes (0 to 1); false stops it.
using ReadingProgress = std::function<bool(double share)>;

// Reads the file as the time estimate reads it, for `machine`. False, with the system's reason
// in `error`, when it cannot be opened or read, or with an empty `error` when `progress` stopped
// it.
bool readProgram(const QString& path, const MachineModel& machine, ReadingObserver& observer, QString* error,
                 const ReadingProgress& progress = {});

// The same for a program held in memory, as a file called `displayName`.
void readProgramBytes(QByteArrayView bytes, const QString& displayName, const MachineModel& machine,
                      ReadingObserver& observer);

}  // namespace korvane
