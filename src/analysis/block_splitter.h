#pragma once
// Splits the bytes of an NC file into blocks and reads the words of each while they stream
// past a fixed buffer, so memory stays the same whatever the file's size. Records end at CR LF
// or a lone CR; an LF inside a record ends a block.

#include <QtGlobal>
#include <cstddef>
#include <functional>
#include <vector>

#include "analysis/block_scanner.h"

namespace korvane {

// Takes each finished block in file order.
class BlockConsumer {
 public:
  virtual ~BlockConsumer() = default;
  virtual void take(const BlockWords& words) = 0;
};

class BlockSplitter {
 public:
  static constexpr qsizetype kMinimumBufferSize = 8;  // room for a whole multi-byte character

  explicit BlockSplitter(qsizetype bufferSize);

  // Starts a file whose blocks go to `consumer`.
  void start(BlockConsumer& consumer);
  // Starts a piece whose blocks are built in place, one after another from blocks[count] on,
  // counting them in `count`: no copy of a block, nor a call to hand it on. Room is needed for
  // one record more than the blocks the piece holds (the next block is begun at once).
  void startInto(BlockWords* blocks, std::size_t& count);

  // Reads through `read` (bytes read, 0 at the end, negative on an error) to the end; the
  // negative status of a failed read, else 0. Blocks that ended before a failed read have been
  // handed on; the unfinished one is dropped.
  qint64 stream(const std::function<qint64(unsigned char*, qint64)>& read);

  // For a caller that holds the bytes itself, a piece at a time:
  // Handles the bytes in [p, end); returns where it stopped: before an incomplete multi-byte
  // character at the end of the piece, unless `atEnd` (nothing of that character follows).
  const unsigned char* process(const unsigned char* p, const unsigned char* end, bool atEnd);
  // The file ended: an unfinished record ends with it.
  void finish() {
    if (recordOpen_) endRecord();
  }
  // Goes on where `other` stopped, handing blocks on to this splitter's consumer.
  void continueFrom(const BlockSplitter& other);

 private:
  // Takes whole plain lines from p on, each a block, while they come; returns where it stopped,
  // at the start of a fresh block.
  const unsigned char* plainLines(const unsigned char* p, const unsigned char* end);
  void character(unsigned char c);
  void endRecord();
  void endBlock();
  // Hands the finished block on and begins the next.
  void handOn() {
    if (into_) {
      BlockWords* const at = into_ + (*count_)++;
      // A block begun in the piece before was built aside, in the scanner's own record.
      if (&block_.words() != at) *at = block_.words();
      block_.reset(at + 1);
    } else {
      consumer_->take(block_.words());
      block_.reset();
    }
  }

  BlockConsumer* consumer_ = nullptr;
  BlockWords* into_ = nullptr;
  std::size_t* count_ = nullptr;
  BlockScanner block_;
  std::vector<unsigned char> buffer_;

  // After an LF inside a record the rest of the record is only read when it holds more than
  // one character.
  enum class Remainder : unsigned char { None, Empty, OneCharacter };
  bool recordOpen_ = false;
  bool afterCr_ = false;
  Remainder remainder_ = Remainder::None;
  unsigned char heldCharacter_ = 0;
};

}  // namespace korvane
