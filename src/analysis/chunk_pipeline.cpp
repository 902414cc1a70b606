#include "analysis/chunk_pipeline.h"

#include <QThread>
#include <algorithm>
#include <new>
#include <thread>
#include <utility>

#include "analysis/line_characters.h"
#include "analysis/wide_registers.h"

namespace korvane {

namespace {

// Room before a chunk for the first bytes of a character that the chunk before it ended within.
constexpr std::size_t kHeadroom = 8;

}  // namespace

// The splitter's state where a chunk ended without a fresh start, and the first bytes of a
// character that the chunk ended within.
struct ChunkPipeline::Continuation {
  BlockSplitter state{0};
  std::vector<unsigned char> bytes;
  bool ready = false;
};

struct ChunkPipeline::Slot {
  enum class State { Free, Busy, Split };
  State state = State::Free;
  std::int64_t chunk = -1;
  std::vector<unsigned char> bytes;  // headroom, then the chunk
  std::size_t begin = kHeadroom;
  std::size_t end = kHeadroom;
  bool continues = false;  // goes on from the chunk before, which ended without a fresh start
  bool endsOpen = false;   // the chunk after goes on from this one
  bool last = false;       // the file ends with this chunk, or a read failed in it
  qint64 status = 0;
  // Room for the most blocks a chunk can hold, left untouched until written: a page of it is
  // only taken from the system once a chunk fills that far.
  struct Release {
    void operator()(BlockWords* p) const { ::operator delete[](p, std::align_val_t{alignof(BlockWords)}); }
  };
  std::unique_ptr<BlockWords[], Release> blocks;
  std::size_t blockCount = 0;
  Continuation from;  // where the chunk before ended, when this one goes on from it
};

int ChunkPipeline::helpersForThisMachine() {
  // The processors this process may run on, not all those of the machine.
  return std::clamp(QThread::idealThreadCount() - 1, 1, kMostHelpers);
}

ChunkPipeline::ChunkPipeline(qsizetype chunkSize, int slotCount, int helperCount)
    : chunkSize_(std::max<qsizetype>(chunkSize, 64)),
      helperCount_(std::max(helperCount, 1)),
      waiting_(std::make_unique<Continuation>()) {
  for (int i = 0; i < std::max(slotCount, 2) + helperCount_ - 1; ++i) {
    auto slot = std::make_unique<Slot>();
    slot->bytes.resize(kHeadroom + static_cast<std::size_t>(chunkSize_));
    // The most blocks a chunk holds, and the one begun after the last.
    const std::size_t room = static_cast<std::size_t>(chunkSize_) + 2;
    slot->blocks.reset(static_cast<BlockWords*>(
        ::operator new[](room * sizeof(BlockWords), std::align_val_t{alignof(BlockWords)})));
    slots_.push_back(std::move(slot));
  }
  carry_.reserve(static_cast<std::size_t>(chunkSize_));
}

ChunkPipeline::~ChunkPipeline() = default;

const unsigned char* ChunkPipeline::lastFreshStart(const unsigned char* begin, const unsigned char* end) {
  for (const unsigned char* s = end; s - begin >= 2; --s) {
    const unsigned char before = s[-1];
    if (before == '\n') {
      if (s[-2] == '\r') return s;  // CR LF ended a record
      // An LF that ended a block within a record (a character of one byte before it), and the
      // next block read as any is.
      if (end - s >= 2 && !line_characters::endsPlainLine(s[-2]) && line_characters::blockGoesOnAfterLineFeed(s)) {
        return s;
      }
    } else if (before == '\r' && s < end && s[0] != '\n') {
      return s;  // a lone CR ended a record
    }
  }
  return nullptr;
}

ChunkPipeline::Slot* ChunkPipeline::freeSlot() {
  for (auto& slot : slots_) {
    if (slot->state == Slot::State::Free) return slot.get();
  }
  return nullptr;
}

ChunkPipeline::Slot* ChunkPipeline::slotOf(std::int64_t chunk) {
  for (auto& slot : slots_) {
    if (slot->state != Slot::State::Free && slot->chunk == chunk) return slot.get();
  }
  return nullptr;
}

void ChunkPipeline::fill(Slot& slot) {
  unsigned char* const data = slot.bytes.data() + kHeadroom;
  const std::size_t capacity = static_cast<std::size_t>(chunkSize_);
  std::copy(carry_.begin(), carry_.end(), data);
  std::size_t size = carry_.size();
  carry_.clear();
  slot.begin = kHeadroom;
  slot.continues = nextContinues_;
  slot.endsOpen = false;
  slot.last = false;
  slot.status = 0;
  while (size < capacity) {
    const qint64 count = (*read_)(data + size, static_cast<qint64>(capacity - size));
    if (count <= 0) {
      slot.status = std::min<qint64>(count, 0);
      slot.last = true;
      break;
    }
    size += static_cast<std::size_t>(count);
  }
  slot.end = kHeadroom + size;
  if (slot.last) return;
  // The bytes after the cut open the next chunk; at most half a chunk of them, so that every
  // chunk reads at least half a chunk of new bytes.
  const unsigned char* const end = data + size;
  const unsigned char* const cut = lastFreshStart(std::max<const unsigned char*>(data, end - capacity / 2), end);
  if (cut) {
    carry_.assign(cut, end);
    slot.end = kHeadroom + static_cast<std::size_t>(cut - data);
  } else {
    slot.endsOpen = true;
  }
  nextContinues_ = slot.endsOpen;
}

void ChunkPipeline::split(Slot& slot, std::unique_lock<std::mutex>& lock) {
  BlockSplitter splitter(0);
  slot.blockCount = 0;
  splitter.startInto(slot.blocks.get(), slot.blockCount);
  if (slot.continues) {
    // The chunk before was read first, so it is being split and will hand this on.
    changed_.wait(lock, [&] { return slot.from.ready; });
    splitter.continueFrom(slot.from.state);
    slot.begin -= slot.from.bytes.size();
    std::copy(slot.from.bytes.begin(), slot.from.bytes.end(), slot.bytes.data() + slot.begin);
  }
  lock.unlock();
  unsigned char* const data = slot.bytes.data();
  // A chunk cut at a fresh start ends with a whole character; an open end, or the bytes read
  // before a failed read, may not.
  const bool whole = !slot.endsOpen && slot.status == 0;
  const unsigned char* const stopped = splitter.process(data + slot.begin, data + slot.end, whole);
  if (slot.last && slot.status == 0) splitter.finish();
  lock.lock();
  if (slot.endsOpen) handOnContinuation(slot.chunk + 1, splitter, stopped, data + slot.end);
  slot.state = Slot::State::Split;
  changed_.notify_all();
}

void ChunkPipeline::handOnContinuation(std::int64_t chunk, const BlockSplitter& splitter, const unsigned char* begin,
                                       const unsigned char* end) {
  Slot* next = slotOf(chunk);
  Continuation& to = next ? next->from : *waiting_;
  to.state.continueFrom(splitter);
  to.bytes.assign(begin, end);
  to.ready = true;
  if (!next) waitingFor_ = chunk;
}

void ChunkPipeline::readAndSplit(std::unique_lock<std::mutex>& lock) {
  Slot& slot = *freeSlot();
  slot.state = Slot::State::Busy;
  slot.chunk = nextToRead_++;
  slot.from.ready = false;
  if (waitingFor_ == slot.chunk) {
    std::swap(slot.from, *waiting_);
    waitingFor_ = -1;
  }
  reading_ = true;
  lock.unlock();
  fill(slot);
  lock.lock();
  reading_ = false;
  if (slot.last) readToEnd_ = true;
  changed_.notify_all();
  split(slot, lock);
}

void ChunkPipeline::helperLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // Once the last chunk is read nothing is left to read, and the chunks before it are split.
    if (readToEnd_) return;
    if (!reading_ && freeSlot()) {
      readAndSplit(lock);
      continue;
    }
    changed_.wait(lock);
  }
}

qint64 ChunkPipeline::run(const Read& read, const Measure& measure) {
  read_ = &read;
  nextToRead_ = 0;
  nextToMeasure_ = 0;
  reading_ = false;
  readToEnd_ = false;
  carry_.clear();
  nextContinues_ = false;
  waitingFor_ = -1;
  for (auto& slot : slots_) slot->state = Slot::State::Free;

  std::vector<std::thread> helpers;
  for (int i = 0; i < helperCount_; ++i) helpers.emplace_back([this] { helperLoop(); });
  qint64 status = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    // Measuring comes first: only this thread does it, and it frees the slots.
    if (Slot* next = slotOf(nextToMeasure_); next && next->state == Slot::State::Split) {
      lock.unlock();
      releaseWideRegisters();  // the copies of reading and splitting left them in use
      measure(std::span<const BlockWords>(next->blocks.get(), next->blockCount));
      lock.lock();
      next->state = Slot::State::Free;
      ++nextToMeasure_;
      changed_.notify_all();
      if (next->last) {
        status = next->status;
        break;
      }
      continue;
    }
    if (!reading_ && !readToEnd_ && freeSlot()) {
      readAndSplit(lock);
      continue;
    }
    changed_.wait(lock);
  }
  lock.unlock();
  for (std::thread& helper : helpers) helper.join();  // told that the last chunk was read, they stop
  read_ = nullptr;
  return status;
}

}  // namespace korvane
