#pragma once
// A vector that grows in fixed chunks: appending never moves what is stored, so a program of
// millions of moves never needs twice its room while it is read.

#include <cstddef>
#include <memory>
#include <vector>

namespace korvane {

template <typename T, int ChunkBits = 16>
class ChunkedVector {
 public:
  static constexpr std::size_t kChunk = std::size_t{1} << ChunkBits;

  void push_back(const T& value) {
    if ((size_ & (kChunk - 1)) == 0) chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
    chunks_.back()[size_ & (kChunk - 1)] = value;
    ++size_;
  }
  T& operator[](std::size_t i) { return chunks_[i >> ChunkBits][i & (kChunk - 1)]; }
  const T& operator[](std::size_t i) const { return chunks_[i >> ChunkBits][i & (kChunk - 1)]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t bytes() const { return chunks_.size() * kChunk * sizeof(T); }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace korvane
