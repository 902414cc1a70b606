#pragma once
// Splits a large file into blocks on helper threads and the calling thread at once while the
// calling thread measures them in file order. The file is read in chunks, one thread reading at a
// time; a chunk ends where a new record or a block within a record starts afresh, so each chunk is
// split on its own by whichever thread is free. A stretch with no such place (one immense line) is
// split in order, each chunk going on where the one before it stopped.

#include <QtGlobal>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "analysis/block_splitter.h"

namespace korvane {

class ChunkPipeline {
 public:
  using Read = std::function<qint64(unsigned char*, qint64)>;
  using Measure = std::function<void(std::span<const BlockWords>)>;

  static constexpr qsizetype kDefaultChunkSize = 64 * 1024;
  static constexpr int kDefaultSlotCount = 4;
  // Measuring, on the calling thread alone, is about two fifths of the work: with two helpers
  // splitting, the calling thread is already the one the others wait for.
  static constexpr int kMostHelpers = 2;

  // One helper per processor beyond the calling thread's, at least one, at most kMostHelpers.
  static int helpersForThisMachine();

  // Memory stays bounded: a chunk of n bytes holds at most n + 1 blocks (a file of bare CRs has
  // one per byte), built where the measuring finds them, with room for the one begun after them:
  // the slots hold at most slotCount × (chunkSize + 2) blocks whatever the file.
  // Each helper beyond the first gets a slot of its own.
  explicit ChunkPipeline(qsizetype chunkSize = kDefaultChunkSize, int slotCount = kDefaultSlotCount,
                         int helperCount = 1);
  ~ChunkPipeline();

  // Reads through `read` (bytes read, 0 at the end, negative on an error) on this thread and
  // the helpers, and hands the blocks to `measure` on this thread, in file order, exactly as
  // BlockSplitter::stream() would hand them on. Returns the negative status of a failed read
  // (the blocks that ended before it have been measured, the unfinished one is dropped), else 0.
  qint64 run(const Read& read, const Measure& measure);

  // Where the bytes [begin, end) can be cut so that the part from the cut on splits exactly as a
  // file of its own: after a CR LF, after a CR not followed by LF, or after an LF within a record
  // with a character other than CR and LF before it and two plain characters after it (an LF
  // within a record leaves its next character waiting). The last such place, or nullptr.
  static const unsigned char* lastFreshStart(const unsigned char* begin, const unsigned char* end);

 private:
  struct Slot;
  void handOnContinuation(std::int64_t chunk, const BlockSplitter& splitter, const unsigned char* begin,
                          const unsigned char* end);
  void helperLoop();
  // Both are called with the lock held and return with it held.
  void readAndSplit(std::unique_lock<std::mutex>& lock);
  void split(Slot& slot, std::unique_lock<std::mutex>& lock);
  void fill(Slot& slot);
  Slot* freeSlot();
  Slot* slotOf(std::int64_t chunk);

  const qsizetype chunkSize_;
  const int helperCount_;
  std::vector<std::unique_ptr<Slot>> slots_;
  const Read* read_ = nullptr;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t nextToRead_ = 0;
  std::int64_t nextToMeasure_ = 0;
  bool reading_ = false;    // a thread is reading the file
  bool readToEnd_ = false;  // the last chunk has been read (or a read failed)

  // The reading thread's own (one reads at a time): the bytes after the last cut, and whether
  // the next chunk goes on from the one before without a fresh start.
  std::vector<unsigned char> carry_;
  bool nextContinues_ = false;

  // Where a chunk that ended without a fresh start stopped, kept here until the chunk after it
  // has a slot. At most one is ever waiting: the chunk after it is the next one to be read.
  struct Continuation;
  std::unique_ptr<Continuation> waiting_;
  std::int64_t waitingFor_ = -1;
};

}  // namespace korvane
