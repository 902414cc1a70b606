#include "analysis/block_splitter.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "analysis/line_characters.h"
#include "analysis/nc_character.h"
#include "analysis/wide_registers.h"

namespace korvane {


BlockSplitter::BlockSplitter(qsizetype bufferSize)
    : buffer_(static_cast<size_t>(std::max(bufferSize, kMinimumBufferSize))) {}

void BlockSplitter::start(BlockConsumer& consumer) {
  consumer_ = &consumer;
  into_ = nullptr;
  count_ = nullptr;
  block_.reset();
  recordOpen_ = false;
  afterCr_ = false;
  remainder_ = Remainder::None;
}

void BlockSplitter::startInto(BlockWords* blocks, std::size_t& count) {
  consumer_ = nullptr;
  into_ = blocks;
  count_ = &count;
  block_.reset(blocks + count);
  recordOpen_ = false;
  afterCr_ = false;
  remainder_ = Remainder::None;
}

const unsigned char* BlockSplitter::process(const unsigned char* p, const unsigned char* end, bool atEnd) {
  while (p < end) {
    if (afterCr_) {
      afterCr_ = false;
      if (*p == '\n') {  // the LF of CR LF
        ++p;
        continue;
      }
    }
    if (remainder_ == Remainder::Empty && end - p >= 2 && line_characters::blockGoesOnAfterLineFeed(p)) {
      remainder_ = Remainder::None;
    }
    if (remainder_ == Remainder::None) {
      if (block_.isFresh()) p = plainLines(p, end);  // whole plain lines at once
      // Runs of ASCII characters within a block.
      const unsigned char* stopped = block_.add(p, end);
      if (stopped != p) recordOpen_ = true;
      p = stopped;
      if (p == end) break;
    }
    const unsigned char b = *p;
    if (b >= 0x80) {
      if (!atEnd && end - p < 4) break;  // its trailing bytes may still be unread
      p += ncCharacterLength(p, end - p);
      character(kOtherCharacter);
      continue;
    }
    ++p;
    if (b == '\r') {
      endRecord();
      afterCr_ = true;
      continue;
    }
    character(b);
  }
  return p;
}

const unsigned char* BlockSplitter::plainLines(const unsigned char* p, const unsigned char* end) {
  using namespace line_characters;
  // Room for a window of flags, the eight characters a number reader looks at from the line's
  // end on, and the two characters after an LF that tell whether the next block starts afresh.
  constexpr std::ptrdiff_t kRoom = kWidth + 10;
  const unsigned char* line = p;
  std::uint64_t lineEnds = 0;
  int left = 0;  // characters from `line` to the end of the window
  for (;;) {
    if (lineEnds == 0) {
      if (end - line < kRoom) return line;
      lineEnds = lineEndsOf(line);
      left = kWidth;
      if (lineEnds == 0) return line;  // a line of 64 characters or more
    }
    const int length = std::countr_zero(lineEnds);
    const unsigned char* const lineEnd = line + length;
    int endLength = 1;
    if (*lineEnd == '\r') {
      endLength += lineEnd[1] == '\n';
    } else if (*lineEnd != '\n' || !blockGoesOnAfterLineFeed(lineEnd + 1)) {
      // A byte outside ASCII, or an LF after which the next block is not read the usual way
      // (at most one character follows it in the record).
      return line;
    }
    // An empty line is an empty block, as the fresh block already is.
    if (length > 0 && !block_.readPlainLine(line, length)) return line;
    handOn();
    recordOpen_ = *lineEnd == '\n';  // an LF ends a block, not the record
    const int taken = length + endLength;
    line += taken;
    if (taken >= left) {
      lineEnds = 0;
      continue;
    }
    lineEnds >>= taken;
    left -= taken;
  }
}

void BlockSplitter::character(unsigned char c) {
  recordOpen_ = true;
  if (remainder_ == Remainder::None) [[likely]] {
    if (c == '\n') {
      endBlock();
      remainder_ = Remainder::Empty;
    } else {
      block_.add(c);
    }
    return;
  }
  if (remainder_ == Remainder::Empty) {
    heldCharacter_ = c;
    remainder_ = Remainder::OneCharacter;
    return;
  }
  // A second character: the rest of the record is read, the held character first.
  remainder_ = Remainder::None;
  character(heldCharacter_);
  character(c);
}

void BlockSplitter::endRecord() {
  // A rest of at most one character after the record's last LF is not read (a lone "%").
  if (remainder_ == Remainder::None) endBlock();
  remainder_ = Remainder::None;
  recordOpen_ = false;
}

void BlockSplitter::endBlock() {
  block_.finish();
  handOn();
}

qint64 BlockSplitter::stream(const std::function<qint64(unsigned char*, qint64)>& read) {
  size_t kept = 0;
  for (;;) {
    const qint64 count = read(buffer_.data() + kept, static_cast<qint64>(buffer_.size() - kept));
    if (count < 0) return count;
    const bool atEnd = count == 0;
    const unsigned char* end = buffer_.data() + kept + count;
    releaseWideRegisters();  // the read's copy may have left them in use, and the blocks are measured now
    const unsigned char* stopped = process(buffer_.data(), end, atEnd);
    kept = static_cast<size_t>(end - stopped);
    std::memmove(buffer_.data(), stopped, kept);
    if (atEnd) break;
  }
  finish();
  return 0;
}

void BlockSplitter::continueFrom(const BlockSplitter& other) {
  block_ = other.block_;
  recordOpen_ = other.recordOpen_;
  afterCr_ = other.afterCr_;
  remainder_ = other.remainder_;
  heldCharacter_ = other.heldCharacter_;
}

}  // namespace korvane
