// Where the simulated machine keeps what it read: program files and raw transmissions.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "transfer/machine/program_store.h"
#include "support/test_files.h"

namespace korvane {
namespace {

using test::readTestFile;

ReceivedProgram program(int index, const QString& number, bool complete) {
  ReceivedProgram p;
  p.index = index;
  p.number = number;
  p.blocks = QStringList{number.isEmpty() ? QStringLiteral("G0X0") : number, QStringLiteral("M30")};
  p.complete = complete;
  return p;
}

TEST(MachineProgramStore, WritesProgramsWithLfLineEndsAndKeepsRepeatsApart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ProgramStore store(dir.filePath("received/deeper"));
  QString error;
  ASSERT_TRUE(store.prepare(&error)) << error.toStdString();
  const auto first = store.store(program(1, "O0007", true), &error);
  const auto again = store.store(program(2, "O0007", true), &error);
  const auto cut = store.store(program(3, "", false), &error);
  ASSERT_TRUE(first && again && cut);
  EXPECT_TRUE(first->endsWith("/O0007.nc"));
  EXPECT_TRUE(again->endsWith("/O0007-2.nc"));
  EXPECT_TRUE(cut->endsWith("/prog-3-incomplete.nc"));
  EXPECT_EQ(readTestFile(*first), "%\nO0007\nM30\n%\n");
  EXPECT_EQ(readTestFile(*cut), "%\nG0X0\nM30\n");
}

TEST(MachineProgramStore, ReplacesFilesOfAnEarlierSession) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    QFile old(dir.filePath("O0001.nc"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older and longer program text\n");
  }
  ProgramStore store(dir.path());
  QString error;
  const auto path = store.store(program(1, "O0001", true), &error);
  ASSERT_TRUE(path);
  EXPECT_EQ(readTestFile(*path), "%\nO0001\nM30\n%\n");
}

TEST(MachineRawCapture, SplitsTransmissionsAtDc2AndDc4) {
  QList<std::pair<int, QByteArray>> pieces;
  RawCapture raw([&](int index, const QByteArray& bytes) { pieces.append({index, bytes}); });
  raw.feed(QByteArray("\x12" "ab") + "\x14" + "\x12" "c");
  raw.feed(QByteArray("d\x14"));
  raw.feed(QByteArray("xy"));
  raw.feed(QByteArray("\x12" "z"));  // DC2 after bytes without DC4: a new transmission
  ASSERT_EQ(pieces.size(), 5);
  EXPECT_EQ(pieces[0], std::make_pair(1, QByteArray("\x12" "ab\x14")));
  EXPECT_EQ(pieces[1], std::make_pair(2, QByteArray("\x12" "c")));
  EXPECT_EQ(pieces[2], std::make_pair(2, QByteArray("d\x14")));
  EXPECT_EQ(pieces[3], std::make_pair(3, QByteArray("xy")));
  EXPECT_EQ(pieces[4], std::make_pair(4, QByteArray("\x12" "z")));
  EXPECT_EQ(raw.transmissions(), 4);
}

TEST(MachineRawCapture, WithoutDcCodesTheSessionIsOneTransmissionInOneFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  RawFileWriter files(dir.path());
  RawCapture raw([&](int index, const QByteArray& bytes) { files.append(index, bytes); });
  raw.feed(QByteArray("\0\0\x0A", 3));
  raw.feed(QByteArray("\xA5\x0A"));
  EXPECT_EQ(raw.transmissions(), 1);
  EXPECT_EQ(readTestFile(files.pathOf(1)), QByteArray("\0\0\x0A\xA5\x0A", 5));
  EXPECT_FALSE(QFile::exists(files.pathOf(2)));
}

}  // namespace
}  // namespace korvane
