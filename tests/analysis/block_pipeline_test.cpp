// Large files are split into blocks on a second thread: the blocks must reach the measuring
// thread complete and in order, and the rows must be those of the one-thread reading.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <thread>

#include "analysis/block_handoff.h"
#include "analysis/machining_time.h"

using namespace korvane;

namespace {

BlockWords numbered(std::int64_t n) {
  BlockWords words;
  words.length = n;
  words.found = static_cast<std::uint16_t>(n & 0x1FF);
  words.numbers[static_cast<size_t>(n % kBlockWordCount)] = static_cast<double>(n) * 0.5;
  return words;
}

// Every count around the batch size: one short of it, exactly it, one over, several batches.
TEST(BlockHandoff, HandsEveryBlockOnInOrderAcrossBatches) {
  for (const std::int64_t count : {0, 1, 6, 7, 8, 9, 23, 24, 25, 1000}) {
    BlockHandoff handoff(8, 2);
    std::thread reader([&] {
      for (std::int64_t n = 0; n < count; ++n) handoff.take(numbered(n));
      handoff.close();
    });
    std::int64_t next = 0;
    bool intact = true;
    handoff.drain([&](const BlockWords& words) {
      const BlockWords expected = numbered(next++);
      intact = intact && words.length == expected.length && words.found == expected.found &&
               words.numbers == expected.numbers;
    });
    reader.join();
    EXPECT_EQ(next, count);
    EXPECT_TRUE(intact) << "count " << count;
  }
}

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

TEST(MachiningPipeline, LargeFileGivesTheRowsOfTheOneThreadReading) {
  const QByteArray program = largeProgram(MachiningTimeCalculator::kTwoThreadFileSize + 12345);
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

}  // namespace
