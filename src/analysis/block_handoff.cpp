#include "analysis/block_handoff.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace korvane {

BlockHandoff::BlockHandoff(std::size_t batchSize, std::size_t batchCount)
    : batchSize_(batchSize < 1 ? 1 : batchSize), batches_(batchCount < 2 ? 2 : batchCount) {
  for (Batch& batch : batches_) batch.blocks = std::make_unique<BlockWords[]>(batchSize_);
  for (std::size_t i = 1; i < batches_.size(); ++i) free_.push_back(i);
  fillingIndex_ = 0;
  filling_ = batches_[0].blocks.get();
}

void BlockHandoff::submitFilling(std::unique_lock<std::mutex>& lock) {
  batches_[fillingIndex_].count = filled_;
  full_.push_back(fillingIndex_);
  changed_.notify_all();
  changed_.wait(lock, [this] { return !free_.empty(); });
  fillingIndex_ = free_.back();
  free_.pop_back();
  filling_ = batches_[fillingIndex_].blocks.get();
  filled_ = 0;
}

namespace {

// Stores that bypass this core's cache: the measuring thread reads the batch next, and an
// ordinary store would first fetch each line back from that thread's core, block after block.
void copyPastCache(BlockWords* to, const BlockWords& from) {
#if defined(__SSE2__)
  static_assert(sizeof(BlockWords) % 16 == 0 && alignof(BlockWords) >= 16);
  const auto* source = reinterpret_cast<const __m128i*>(&from);
  auto* target = reinterpret_cast<__m128i*>(to);
  for (std::size_t i = 0; i < sizeof(BlockWords) / 16; ++i) _mm_stream_si128(target + i, _mm_load_si128(source + i));
#else
  *to = from;
#endif
}

// Makes the stores above visible before the batch is handed on under the lock.
void publishStores() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace

void BlockHandoff::take(const BlockWords& words) {
  copyPastCache(filling_ + filled_++, words);
  if (filled_ < batchSize_) return;
  publishStores();
  std::unique_lock lock(mutex_);
  submitFilling(lock);
}

void BlockHandoff::close() {
  publishStores();
  std::unique_lock lock(mutex_);
  if (filled_ > 0) {
    batches_[fillingIndex_].count = filled_;
    full_.push_back(fillingIndex_);
    filled_ = 0;
  }
  closed_ = true;
  changed_.notify_all();
}

void BlockHandoff::drain(const std::function<void(const BlockWords&)>& measure) {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !full_.empty() || closed_; });
    if (full_.empty()) return;  // closed and nothing left
    const std::size_t index = full_.front();
    full_.pop_front();
    const BlockWords* block = batches_[index].blocks.get();
    const BlockWords* const end = block + batches_[index].count;
    lock.unlock();
    for (; block != end; ++block) measure(*block);
    lock.lock();
    free_.push_back(index);
    changed_.notify_all();
  }
}

}  // namespace korvane
