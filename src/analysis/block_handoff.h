#pragma once
// Hands finished blocks from the thread that reads a file to the thread that measures them, in
// batches through a fixed pool: memory stays bounded, and the two threads meet once per batch
// rather than once per block.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "analysis/block_splitter.h"

namespace korvane {

class BlockHandoff final : public BlockConsumer {
 public:
  explicit BlockHandoff(std::size_t batchSize = 8192, std::size_t batchCount = 2);

  // Reading side: queues a block, waiting while every batch is still being measured.
  void take(const BlockWords& words) override;
  // Reading side: no more blocks; the last, partly filled batch is handed on.
  void close();

  // Measuring side: hands every block to `measure` in file order until the reading side closes.
  void drain(const std::function<void(const BlockWords&)>& measure);

 private:
  void submitFilling(std::unique_lock<std::mutex>& lock);

  struct Batch {
    std::unique_ptr<BlockWords[]> blocks;
    std::size_t count = 0;  // set under the lock when handed on
  };

  const std::size_t batchSize_;
  std::vector<Batch> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::size_t> full_;
  std::vector<std::size_t> free_;
  bool closed_ = false;
  // The reading side's own, on a cache line of their own: the measuring side never reads them,
  // and sharing a line with what it writes would make every block a cache miss on both sides.
  alignas(64) BlockWords* filling_ = nullptr;
  std::size_t fillingIndex_ = 0;
  std::size_t filled_ = 0;
};

}  // namespace korvane
