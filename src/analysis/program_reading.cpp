#include "analysis/program_reading.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "analysis/block_splitter.h"
#include "analysis/machining_time.h"
#include "platform/desktop/regular_file.h"
#include "analysis/nc_character.h"
#include "analysis/wide_registers.h"

namespace korvane {

namespace {

// Hands the blocks to the state and tells the observer where each stands. The splitter is given
// one text line at a time, its line end included, so that every block it hands on while a line
// is given belongs to that line.
class PlacedReading final : public BlockConsumer {
 public:
  PlacedReading(const QString& displayName, const MachineModel& machine, ReadingObserver& observer)
      : state_([](const MachiningRow&) {}, machine), observer_(observer), splitter_(BlockSplitter::kMinimumBufferSize) {
    state_.setObserver(&observer);
    state_.startFile(displayName);
    splitter_.start(*this);
  }

  void take(const BlockWords& words) override {
    if (!batched_.empty()) {
      // A line of a run handed on at once: its one block.
      const BlockPlace place = batched_.front();
      batched_.pop_front();
      observer_.blockRead(ordinal_++, place, words);
      state_.block(words);
      return;
    }
    // An empty line after a bare LF ends its (empty) block only when the next line's first
    // character comes: it is told with its own line.
    const bool earlierEmptyLine = words.length == 0 && blocksOfLine_ == 0 && emptyLineBefore_;
    ++blocksOfLine_;
    observer_.blockRead(ordinal_++, earlierEmptyLine ? placeBefore_ : place_, words);
    state_.block(words);
  }

  // A whole line [p, p + length) and its line end of `ending` bytes (none for a last line).
  void line(const unsigned char* p, std::int64_t length, int ending, std::int64_t offset) {
    const bool lineFeed = ending == 1 && p[length] == '\n';
    const bool carriageReturn = ending == 2 || (ending == 1 && p[length] == '\r');
    newLine({++lineNumber_, offset, length}, length == 0 && lineFeed);
    // Lines that end one block each, within their own bytes, are handed to the splitter in runs,
    // which it reads many times faster than line by line; the others one at a time, as they
    // stand, so that a block they end late is told with its own line.
    if ((lineFeed || carriageReturn) && endsOneBlock(p, length, lineFeed)) {
      if (runBegin_ == nullptr) runBegin_ = p;  // lines come one after another: the run goes on
      batched_.push_back(place_);
      runEnd_ = p + length + ending;
      after_ = lineFeed ? After::LineFeed : After::RecordEnd;
      return;
    }
    handOnRun();
    splitter_.process(p, p + length + ending, true);
    if (carriageReturn) {
      after_ = After::RecordEnd;
    } else if (!lineFeed || after_ == After::Unknown) {
      after_ = After::Unknown;
    } else {
      // An empty line after an LF holds its LF back; any other leaves the record read on.
      after_ = length == 0 ? After::HeldLineFeed : After::LineFeed;
    }
  }
  // A line too long to hold at once goes in parts: where this part was taken up to (a character
  // cut by the part's end waits for the next part).
  const unsigned char* middleOfLongLine(const unsigned char* p, const unsigned char* end, std::int64_t lineStart) {
    handOnRun();
    if (place_.line != lineNumber_ + 1) newLine({lineNumber_ + 1, lineStart, 0}, false);
    after_ = After::Unknown;
    return splitter_.process(p, end, false);
  }
  void endOfLongLine(const unsigned char* p, std::int64_t length, int ending, std::int64_t lineStart,
                     std::int64_t lineLength) {
    handOnRun();
    place_ = {++lineNumber_, lineStart, lineLength};
    splitter_.process(p, p + length + ending, true);
    after_ = ending == 2 || (ending == 1 && p[length] == '\r') ? After::RecordEnd : After::Unknown;
  }

  // The lines held for a run are read now: before their bytes move, and before any line read
  // on its own.
  void handOnRun() {
    if (runBegin_ != nullptr && runEnd_ != runBegin_) splitter_.process(runBegin_, runEnd_, true);
    runBegin_ = runEnd_ = nullptr;
    batched_.clear();
  }

  void finish() {
    handOnRun();
    splitter_.finish();
    state_.finishFile();
  }

 private:
  // Where the splitter stands at the start of a line: after a record's end; after an LF that
  // ended a block, the record read on; after an empty line that followed one, its LF held back;
  // or in a state only reading the line on its own follows.
  enum class After { RecordEnd, LineFeed, HeldLineFeed, Unknown };

  // Whether the splitter ends exactly one block within this line's bytes (an LF or a CR ends
  // it): at a record's end always; after an LF when the line goes on long enough that the
  // record is read on (one character before an LF, two before a CR).
  bool endsOneBlock(const unsigned char* p, std::int64_t length, bool lineFeed) const {
    if (after_ == After::RecordEnd) return true;
    if (after_ != After::LineFeed) return false;
    if (lineFeed) return length >= 1;
    return length >= 2 && ncCharacterLength(p, length) < length;
  }

  void newLine(const BlockPlace& place, bool emptyAfterLineFeed) {
    placeBefore_ = place_;
    emptyLineBefore_ = emptyLine_;
    emptyLine_ = emptyAfterLineFeed;
    place_ = place;
    blocksOfLine_ = 0;
  }

  MachiningState state_;
  ReadingObserver& observer_;
  BlockPlace placeBefore_;
  bool emptyLine_ = false;
  bool emptyLineBefore_ = false;
  int blocksOfLine_ = 0;
  BlockSplitter splitter_;
  BlockPlace place_;
  std::int64_t lineNumber_ = 0;
  std::int64_t ordinal_ = 0;
  After after_ = After::RecordEnd;
  const unsigned char* runBegin_ = nullptr;
  const unsigned char* runEnd_ = nullptr;
  std::deque<BlockPlace> batched_;
};

// Reads the bytes through `read` and gives them to the reading line by line.
template <typename Read>
qint64 readLines(PlacedReading& reading, Read read, qint64 total, const ReadingProgress& progress, bool* stopped) {
  constexpr std::size_t kChunk = 1 << 20;
  std::vector<unsigned char> buffer(kChunk);
  std::size_t kept = 0;             // bytes of an unfinished line at the start of the buffer
  std::int64_t consumed = 0;        // bytes of the file before the buffer's start
  std::int64_t longLineStart = -1;  // where a line given in parts starts
  for (;;) {
    const qint64 count = read(buffer.data() + kept, static_cast<qint64>(buffer.size() - kept));
    if (count < 0) return count;
    releaseWideRegisters();  // the read's copy may have left them in use, and the lines are measured now
    const bool atEnd = count == 0;
    const std::size_t size = kept + static_cast<std::size_t>(count);
    const unsigned char* const base = buffer.data();
    const auto give = [&](std::size_t from, std::size_t to, int ending) {
      const std::int64_t offset = consumed + static_cast<std::int64_t>(from);
      const auto length = static_cast<std::int64_t>(to - from);
      if (longLineStart >= 0) {
        reading.endOfLongLine(base + from, length, ending, longLineStart, offset + length - longLineStart);
        longLineStart = -1;
      } else {
        reading.line(base + from, length, ending, offset);
      }
    };
    std::size_t start = 0;
    for (std::size_t i = start; i < size; ++i) {
      const unsigned char c = base[i];
      if (c != '\r' && c != '\n') continue;
      if (c == '\r' && i + 1 == size && !atEnd) break;  // an LF may follow in the next read
      const int ending = c == '\r' && i + 1 < size && base[i + 1] == '\n' ? 2 : 1;
      give(start, i, ending);
      i += static_cast<std::size_t>(ending) - 1;
      start = i + 1;
    }
    if (atEnd) {
      if (start < size || longLineStart >= 0) give(start, size, 0);
      reading.finish();
      return 0;
    }
    reading.handOnRun();
    if (start == 0 && size == buffer.size()) {
      // No line end in the whole buffer: what there is goes as part of one long line, but its
      // last byte (a CR may wait for its LF).
      if (longLineStart < 0) longLineStart = consumed;
      start = static_cast<std::size_t>(reading.middleOfLongLine(base, base + size - 1, longLineStart) - base);
    }
    kept = size - start;
    std::memmove(buffer.data(), base + start, kept);
    consumed += static_cast<std::int64_t>(start);
    if (progress && total > 0 && !progress(std::min(1.0, static_cast<double>(consumed) / static_cast<double>(total)))) {
      *stopped = true;
      return 0;
    }
  }
}

}  // namespace

bool readProgram(const QString& path, const MachineModel& machine, ReadingObserver& observer, QString* error,
                 const ReadingProgress& progress) {
  QFile file(path);
  if (!openProgramFile(file, error)) return false;
  PlacedReading reading(displayNameOf(path), machine, observer);
  bool stopped = false;
  const qint64 status = readLines(
      reading, [&file](unsigned char* to, qint64 room) { return file.read(reinterpret_cast<char*>(to), room); },
      file.size(), progress, &stopped);
  if (status < 0 || stopped) {
    if (error) *error = stopped ? QString() : file.errorString();
    return false;
  }
  return true;
}

void readProgramBytes(QByteArrayView bytes, const QString& displayName, const MachineModel& machine,
                      ReadingObserver& observer) {
  PlacedReading reading(displayName, machine, observer);
  qsizetype offset = 0;
  bool stopped = false;
  readLines(
      reading,
      [&](unsigned char* to, qint64 room) {
        const qint64 count = std::min<qint64>(room, bytes.size() - offset);
        std::memcpy(to, bytes.data() + offset, static_cast<size_t>(count));
        offset += count;
        return count;
      },
      bytes.size(), {}, &stopped);
}

}  // namespace korvane
