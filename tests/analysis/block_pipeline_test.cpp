// Large files are split into blocks on two threads, a chunk each: wherever the chunks are cut
// and however the reads come in, the blocks must reach the measuring thread exactly as the
// one-thread splitter makes them, in order, and the rows must be those of the one-thread reading.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "analysis/chunk_pipeline.h"
#include "analysis/machining_time.h"
#include "block_test_support.h"

using namespace korvane;
using korvane::test::Block;
using korvane::test::Collect;

namespace {

// Hands out `bytes` in reads of 1 to maxRead bytes (never more than asked), then fails with
// `failure` once `failAfter` bytes are out, or ends.
class ScriptedRead {
 public:
  ScriptedRead(const std::string& bytes, unsigned seed, qint64 maxRead, qint64 failAfter = -1, qint64 failure = -5)
      : bytes_(bytes), random_(seed), maxRead_(maxRead), failAfter_(failAfter), failure_(failure) {}

  qint64 operator()(unsigned char* to, qint64 room) {
    const qint64 limit = failAfter_ >= 0 ? failAfter_ : static_cast<qint64>(bytes_.size());
    if (failAfter_ >= 0 && offset_ >= limit) return failure_;
    const qint64 wanted = std::uniform_int_distribution<qint64>(1, maxRead_)(random_);
    const qint64 count = std::min({wanted, room, limit - offset_});
    std::copy_n(bytes_.data() + offset_, count, to);
    offset_ += count;
    return count;
  }

 private:
  const std::string& bytes_;
  std::mt19937 random_;
  qint64 maxRead_;
  qint64 failAfter_;
  qint64 failure_;
  qint64 offset_ = 0;
};

struct Outcome {
  std::vector<Block> blocks;
  qint64 status = 0;
};

Outcome oneThread(const std::string& bytes, unsigned seed, qint64 maxRead, qint64 failAfter = -1) {
  Collect collect;
  BlockSplitter splitter(64);
  splitter.start(collect);
  ScriptedRead read(bytes, seed, maxRead, failAfter);
  const qint64 status = splitter.stream(std::ref(read));
  return {std::move(collect.blocks), status};
}

Outcome chunked(const std::string& bytes, qsizetype chunkSize, int slotCount, unsigned seed, qint64 maxRead,
                qint64 failAfter = -1, int helperCount = 1) {
  Outcome outcome;
  const std::thread::id caller = std::this_thread::get_id();
  bool onCaller = true;
  ChunkPipeline pipeline(chunkSize, slotCount, helperCount);
  ScriptedRead read(bytes, seed, maxRead, failAfter);
  outcome.status = pipeline.run(std::ref(read), [&](std::span<const BlockWords> blocks) {
    onCaller = onCaller && std::this_thread::get_id() == caller;
    for (const BlockWords& words : blocks) outcome.blocks.emplace_back(words);
  });
  EXPECT_TRUE(onCaller) << "blocks were measured off the calling thread";
  return outcome;
}

// A text made of the pieces where splitting and reading words can go wrong: every kind of line
// end, LFs alone and in runs, "%" and M30 blocks, "G", "G9", "G90" and numbers that a cut could
// fall within, UTF-8 and Shift-JIS characters, and a stray lead byte.
std::string randomText(std::mt19937& random, size_t size) {
  static const std::vector<std::string> pieces = {
      "\r\n", "\r\n", "\r\n", "\n", "\n", "\r", "%", "M30", "G", "9", "0", "1", "G90", "G91", "G01",
      "X", "Y-", "Z.", "I", "J", "R", "F", "O", "123.456", "7", ".", " ", " ", "(A B)", "N10",
      "\xE3\x81\x82", "\x82\xA0", "\x82\x60", "\x82", "\xC3\xA9", "\xFF", "\t"};
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::string text;
  while (text.size() < size) text += pieces[pick(random)];
  return text;
}

void expectSame(const Outcome& expected, const Outcome& actual, const std::string& what) {
  EXPECT_EQ(actual.status, expected.status) << what;
  ASSERT_EQ(actual.blocks.size(), expected.blocks.size()) << what;
  for (size_t i = 0; i < expected.blocks.size(); ++i) {
    ASSERT_EQ(actual.blocks[i], expected.blocks[i]) << what << ", block " << i;
  }
}

}  // namespace

TEST(ChunkPipeline, FreshStartsAreOnlyWhereSplittingStartsAnew) {
  struct Case {
    std::string text;
    int cut;  // -1: nowhere
  };
  const Case cases[] = {
      {"ab\r\ncd", 4},
      {"\r\nab", 2},
      {"ab\rcd", 3},        // a lone CR
      {"ab\r", -1},         // an LF may still follow
      {"ab\ncd", 3},        // an LF within a record, between plain characters
      {"ab\nc", -1},        // the character after the LF is still held back
      {"a\n\ncd", -1},      // the second LF waits, held back after the first
      {"\r\r\nab", 3},      // CR LF after a lone CR
      {"ab\n\xE3\x81\x82" "cd", -1},  // a character of more than one byte after the LF
      {"\x82\x60\nab", 3},  // a Shift-JIS character whose trail byte looks plain
      {"x\r\nab\ncd\r\nef", 10},
      {"plain text with no line end", -1},
  };
  for (const Case& c : cases) {
    const auto* begin = reinterpret_cast<const unsigned char*>(c.text.data());
    const unsigned char* cut = ChunkPipeline::lastFreshStart(begin, begin + c.text.size());
    EXPECT_EQ(cut ? static_cast<int>(cut - begin) : -1, c.cut) << c.text;
  }
}

TEST(ChunkPipeline, BlocksAreThoseOfTheOneThreadSplitterWhereverChunksAreCut) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    const std::string text = randomText(random, 200 + round * 97);
    const qsizetype chunk = std::array<qsizetype, 5>{64, 65, 100, 257, 1000}[static_cast<size_t>(round % 5)];
    const int slotCount = 2 + round % 3;
    const qint64 maxRead = 1 + round % 7 * 40;
    const int helperCount = 1 + round % 4 / 2 + round % 7 / 6;  // 1 to 3, in no step with the others
    const std::string what = "round " + std::to_string(round) + ", chunk " + std::to_string(chunk) + ", " +
                             std::to_string(helperCount) + " helpers";
    const Outcome expected = oneThread(text, static_cast<unsigned>(round), maxRead);
    ASSERT_GT(expected.blocks.size(), 10u) << what;
    expectSame(expected, chunked(text, chunk, slotCount, static_cast<unsigned>(round), maxRead, -1, helperCount),
               what);
  }
}

TEST(ChunkPipeline, LinesWithoutAFreshStartGoOnAcrossChunks) {
  // One immense record, a run of LFs, and multi-byte characters at every offset of a chunk end.
  std::string immense;
  for (int i = 0; i < 600; ++i) immense += i % 50 == 0 ? "G91X1.5Y-2\xE3\x81\x82" : "X1.5Y-2 ";
  const std::string texts[] = {
      immense + "\r\nM30\r\n",
      "%\r\n" + std::string(3000, '\n') + "G90X5.\r\n",
      "G1X1\n" + immense + "\nM30",
      std::string(2000, '\r'),
  };
  for (const std::string& text : texts) {
    for (const qsizetype chunk : {64, 67, 129}) {
      for (const int helperCount : {1, 3}) {
        const std::string what =
            text.substr(0, 12) + ", chunk " + std::to_string(chunk) + ", " + std::to_string(helperCount) + " helpers";
        expectSame(oneThread(text, 1, 1000), chunked(text, chunk, 2, 1, 1000, -1, helperCount), what);
      }
    }
  }
}

TEST(ChunkPipeline, FailedReadHandsOnWhatEndedBeforeItAndItsStatus) {
  std::mt19937 random(5);
  const std::string text = randomText(random, 5000);
  for (const qint64 failAfter : {0, 1, 63, 64, 65, 999, 2500, 4999}) {
    const std::string what = "failing after " + std::to_string(failAfter);
    const Outcome expected = oneThread(text, 3, 50, failAfter);
    ASSERT_EQ(expected.status, -5) << what;
    expectSame(expected, chunked(text, 64, 3, 3, 50, failAfter), what);
    expectSame(expected, chunked(text, 64, 3, 3, 50, failAfter, 3), what + ", 3 helpers");
  }
}

namespace {

// A program of many programs with every kind of block, written so that no two rows are alike.
QByteArray largeProgram(qint64 atLeast) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(-200000, 200000);
  const auto mm = [&] { return std::to_string(coordinate(random) / 1000.0); };
  QByteArray program;
  for (int p = 0; program.size() < atLeast; ++p) {
    std::string text = "%\r\nO" + std::to_string(p + 1) + "\r\nG90 G00 X0 Y0\r\n";
    for (int n = 0; n < 400; ++n) {
      switch (n % 5) {
        case 0: text += "G01 X" + mm() + " Y" + mm() + " F" + std::to_string(50 + n) + "\r\n"; break;
        case 1: text += "G02 X" + mm() + " Y" + mm() + " I" + mm() + " J" + mm() + "\r\n"; break;
        case 2: text += "G03 X" + mm() + " Y" + mm() + " R" + mm() + "\r\n"; break;
        case 3: text += "G91 Z-" + std::to_string(n % 7) + " (PASS)\nG90 X" + mm() + "\r\n"; break;
        default: text += "X" + std::to_string(coordinate(random)) + " Y" + mm() + "\r\n"; break;
      }
    }
    text += p % 2 ? "M30\r\n" : "M99\r\n";
    program += QByteArray::fromStdString(text);
  }
  return program;
}

}  // namespace

TEST(MachiningPipeline, LargeFileGivesTheRowsOfTheOneThreadReading) {
  const QByteArray program = largeProgram(MachiningTimeCalculator::kHelperThreadsFileSize + 12345);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("big.nc"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(program), program.size());
  file.close();

  QList<QStringList> fromMemory;
  MachiningTimeCalculator oneThread([&](const MachiningRow& row) { fromMemory << row.texts(); });
  oneThread.computeBytes(QStringLiteral("big.nc"), program);

  QList<QStringList> fromFile;
  const std::thread::id caller = std::this_thread::get_id();
  bool rowsOnCaller = true;
  MachiningTimeCalculator twoThreads([&](const MachiningRow& row) {
    fromFile << row.texts();
    rowsOnCaller = rowsOnCaller && std::this_thread::get_id() == caller;
  });
  QString error;
  ASSERT_TRUE(twoThreads.computeFile(path, &error)) << error.toStdString();

  ASSERT_GT(fromMemory.size(), 100);
  EXPECT_EQ(fromFile, fromMemory);
  EXPECT_TRUE(rowsOnCaller);
}
