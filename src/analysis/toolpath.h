#pragma once
// The toolpath of one NC file as the time estimate reads it: every move the reading makes, kept
// small (a 200 MB program has millions), every block with where it stands in the file and what
// is in force once it has been carried out, and the programmed extents, measured in double
// precision from the reading itself. The view, the plot and the restart all draw from it.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/block_selector.h"
#include "analysis/chunked_vector.h"
#include "analysis/machine_model.h"
#include "analysis/machining_state.h"
#include "analysis/program_reading.h"
#include "analysis/toolpath_geometry.h"

namespace korvane {

class Toolpath {
 public:
  // What a move does: a Jump renames the position (G92, G50 X Z, the first move's start) and
  // travels nothing; Cut is every feed, arc and the feeds of drilling and lathe cycles.
  enum class Kind : std::uint8_t { Jump, Rapid, Cut };

  // One move, by its end (it starts where the move before it ends). Floats: enough to draw.
  struct Move {
    float x, y, z;  // mm; on a lathe x is the radius
    std::uint32_t block;
    std::uint16_t tool;
    Kind kind;
    std::uint8_t flags;
  };
  // Plane in bits 3-4. An arc's sweep as the reading measured it in double precision: a full
  // turn, or more than half a turn (its floats alone may not tell a whole turn from a sliver).
  enum MoveFlag : std::uint8_t { kArc = 1, kClockwise = 2, kCycle = 4, kPlaneShift = 3, kFullTurn = 32, kLongArc = 64 };

  // What one block leaves in force once carried out, as the program writes it.
  struct BlockInfo {
    std::int64_t ordinal = 0;
    BlockPlace place;
    double minutes = 0;       // into the program, as its result row counts it, after the block
    machining::Point position;  // mm; on a lathe x is the diameter
    double feed = 0;          // F as written (per minute, or per revolution)
    bool feedWritten = false;
    bool perRevolution = false;
    double spindle = 0;       // S as written: rpm, or the surface speed under G96
    bool constantSurfaceSpeed = false;
    bool inch = false;
    int tool = 0;
    bool passedOver = false;  // a lathe cycle's shape, whose moves its cycle block makes
  };

  bool lathe() const { return lathe_; }
  const QString& path() const { return path_; }

  std::size_t moveCount() const { return moves_.size(); }
  const Move& move(std::size_t i) const { return moves_[i]; }
  machining::Point end(std::size_t i) const {
    const Move& m = moves_[i];
    return {m.x, m.y, m.z};
  }
  machining::Point start(std::size_t i) const { return i == 0 ? end(0) : end(i - 1); }
  Kind kind(std::size_t i) const { return moves_[i].kind; }
  bool isArc(std::size_t i) const { return (moves_[i].flags & kArc) != 0; }
  // The curve of an arc move; of a move that is no arc, nothing useful.
  toolpath::Arc arc(std::size_t i) const;
  machining::Point arcCentre(std::size_t i) const;
  // The moves of the blocks up to and including `ordinal`: the first that many.
  std::size_t movesThrough(std::int64_t ordinal) const;

  std::int64_t blockCount() const { return static_cast<std::int64_t>(blocks_.size()); }
  BlockInfo block(std::int64_t ordinal) const;
  // The first block on line `line` or after it; blockCount() when there is none.
  std::int64_t blockAtLine(std::int64_t line) const;

  // Extents of the cutting moves and of every move (rapids too), arcs where they reach furthest
  // included; in the reading's millimetres (a lathe's x the radius).
  const toolpath::Box3& cutExtents() const { return cutExtents_; }
  const toolpath::Box3& allExtents() const { return allExtents_; }
  // The same seen in a view, along its two axes.
  toolpath::Box2 viewExtents(toolpath::View view, bool cutsOnly) const;

  // The result rows of the reading (加工長、時間), and whether a macro statement was met, which
  // the reading passes over.
  const std::vector<MachiningRow>& rows() const { return rows_; }
  bool macroSeen() const { return macroSeen_; }

  // The block `--until` or a caller named, when a selector was given to the reading.
  std::optional<std::int64_t> selectedBlock() const { return selected_; }

  // Memory held, for the benchmark.
  std::size_t bytes() const;

 private:
  friend class ToolpathBuilder;
  // 32 bytes a block: its line and length are told apart from the next block's place (see
  // block()), and only where they cannot be are they kept on their own.
  struct BlockEntry {
    std::int64_t offset;
    double minutes;
    std::int32_t position[3];  // 0.1 µm
    std::uint32_t state;       // into states_, and the flags of kStateFlags
  };
  struct BlockState {
    float feed;
    float spindle;
    std::int32_t tool;
    std::uint16_t flags;
    bool operator==(const BlockState&) const = default;
  };
  struct ArcCentre {
    std::uint32_t move;
    float x, y, z;
  };
  std::int64_t lineOf(std::int64_t ordinal) const;
  std::int64_t bytesOf(std::int64_t ordinal) const;

  bool lathe_ = false;
  QString path_;
  ChunkedVector<Move> moves_;
  ChunkedVector<BlockEntry> blocks_;
  ChunkedVector<ArcCentre, 14> arcs_;
  std::vector<BlockState> states_;
  // Line = ordinal + the delta of the last entry at or before the block (mostly one entry).
  std::vector<std::pair<std::int64_t, std::int64_t>> lineDeltas_;
  // The length of a block that is not what the next block's place tells (several blocks on one
  // line, the last block, a line end of more than three bytes).
  std::vector<std::pair<std::int64_t, std::int64_t>> lengths_;
  toolpath::Box3 cutExtents_;
  toolpath::Box3 allExtents_;
  toolpath::Box2 isoCut_;
  toolpath::Box2 isoAll_;
  std::vector<MachiningRow> rows_;
  bool macroSeen_ = false;
  std::optional<std::int64_t> selected_;
};

// How far a reading has come (0 to 1); false stops it.
using ToolpathProgress = std::function<bool(double share)>;

// Reads the file for `machine`. Nothing, with the system's reason in `error`, when it cannot be
// read (an empty reason when `progress` stopped it). With a selector, the first block it names
// is kept as the selected block (a text is looked for in the file's bytes as they stand).
std::unique_ptr<Toolpath> readToolpath(const QString& path, const MachineModel& machine, QString* error,
                                       const ToolpathProgress& progress = {},
                                       const std::optional<BlockSelector>& selector = std::nullopt);

// The same for a program held in memory.
std::unique_ptr<Toolpath> readToolpathBytes(QByteArrayView bytes, const MachineModel& machine,
                                            const std::optional<BlockSelector>& selector = std::nullopt);

}  // namespace korvane
