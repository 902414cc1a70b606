// How the service files what machines punch and finds what they ask for: program splitting, the
// backups of replaced programs, and the request comments.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "support/test_files.h"
#include "transfer/service/program_request.h"
#include "transfer/service/program_shelf.h"

namespace korvane {
namespace {

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0, 0));

TEST(ProgramShelf, SplitsATapeIntoProgramsAndLeavesNothingOut) {
  QTemporaryDir dir;
  const ProgramShelf shelf(dir.path(), QStringLiteral(".nc"));
  QString failure;
  const QList<ShelvedProgram> stored = shelf.storeTape(
      {"%", "(SHOP HEADER)", "O1000(SUB)", "G1X1.", "M99", "O2000", "M98P1000", "M30", "(TRAILER)", "", "%"}, kNoon,
      &failure);
  ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
  ASSERT_EQ(stored.size(), 2);
  EXPECT_EQ(stored[0].program, QStringLiteral("O1000"));
  EXPECT_EQ(test::readTestFile(dir.filePath("O1000.nc")), QByteArray("%\r\n(SHOP HEADER)\r\nO1000(SUB)\r\nG1X1.\r\nM99\r\n%\r\n"));
  EXPECT_EQ(test::readTestFile(dir.filePath("O2000.nc")), QByteArray("%\r\nO2000\r\nM98P1000\r\nM30\r\n(TRAILER)\r\n%\r\n"));
  EXPECT_EQ(stored[1].bytes, QFileInfo(dir.filePath("O2000.nc")).size());

  // Without a program number: a dated name, a second one beside it.
  for (int i = 0; i < 2; ++i) ASSERT_EQ(shelf.storeTape({"%", "G0X0", "%"}, kNoon, &failure).size(), 1);
  EXPECT_TRUE(QFile::exists(dir.filePath("unnumbered-20261208-120000.nc")));
  EXPECT_TRUE(QFile::exists(dir.filePath("unnumbered-20261208-120000-2.nc")));
}

TEST(ProgramShelf, AReplacedProgramIsKeptAsTheNewestBackup) {
  QTemporaryDir dir;
  const ProgramShelf shelf(dir.path(), QStringLiteral(".nc"));
  QString failure;
  for (const char* version : {"(FIRST)", "(SECOND)", "(THIRD)"})
    ASSERT_EQ(shelf.storeTape({"O1234", version, "M30"}, kNoon, &failure).size(), 1) << failure.toStdString();
  EXPECT_TRUE(test::readTestFile(dir.filePath("O1234.nc")).contains("THIRD"));
  EXPECT_TRUE(test::readTestFile(dir.filePath("O1234.nc.1")).contains("FIRST"));
  EXPECT_TRUE(test::readTestFile(dir.filePath("O1234.nc.2")).contains("SECOND"));
  EXPECT_EQ(nextBackupPath(dir.filePath("O1234.nc")), dir.filePath("O1234.nc.3"));

  // A tape that did not end never takes the program's name.
  QFile receiving(shelf.receivingPath(1));
  ASSERT_TRUE(receiving.open(QIODevice::WriteOnly));
  receiving.write("%\r\nO1234\r\nG1X");
  receiving.close();
  const QString kept = shelf.keepIncomplete(shelf.receivingPath(1), QStringLiteral("O1234"), kNoon, &failure);
  EXPECT_EQ(QFileInfo(kept).fileName(), QStringLiteral("O1234-incomplete-20261208-120000.nc"));
  EXPECT_TRUE(test::readTestFile(dir.filePath("O1234.nc")).contains("THIRD"));
}

// A disk with room for so many bytes more.
class SmallDisk final : public ShelfDisk {
 public:
  explicit SmallDisk(qint64 room) : room_(room) {}
  QString writeFile(const QString& path, const QByteArray& bytes) const override {
    if (bytes.size() > room_) return QString::fromLocal8Bit(std::strerror(ENOSPC));
    room_ -= bytes.size();
    return ShelfDisk::writeFile(path, bytes);
  }

 private:
  mutable qint64 room_;
};

TEST(ProgramShelf, AStoreTheDiskRefusesSaysWhyAndLeavesTheStoredProgramAlone) {
  QTemporaryDir dir;
  const SmallDisk disk(100);
  const ProgramShelf shelf(dir.path(), QStringLiteral(".nc"), disk);
  QString failure;
  ASSERT_EQ(shelf.storeTape({"O1234", "(FIRST)", "M30"}, kNoon, &failure).size(), 1) << failure.toStdString();
  QStringList longer{"O1234(SECOND)"};
  for (int i = 0; i < 20; ++i) longer << QStringLiteral("G1X%1.").arg(i);
  QString unstored;
  EXPECT_TRUE(shelf.storeTape(longer, kNoon, &failure, &unstored).isEmpty());
  EXPECT_TRUE(failure.startsWith(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << failure.toStdString();
  EXPECT_EQ(unstored, QStringLiteral("O1234"));
  EXPECT_TRUE(test::readTestFile(dir.filePath("O1234.nc")).contains("FIRST"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"O1234.nc"}) << "no backup, no half a file";
}

TEST(ProgramShelf, ABackupNumberThatIsTakenNeverStopsAStore) {
  QTemporaryDir dir;
  const ProgramShelf shelf(dir.path(), QStringLiteral(".nc"));
  const QString o1234 = dir.filePath("O1234.nc");
  QString failure;
  ASSERT_EQ(shelf.storeTape({"O1234", "(FIRST)"}, kNoon, &failure).size(), 1);
  ASSERT_TRUE(QDir(dir.path()).mkdir("O1234.nc.1"));  // a folder where the first backup would go
  const QList<ShelvedProgram> second = shelf.storeTape({"O1234", "(SECOND)"}, kNoon, &failure);
  ASSERT_EQ(second.size(), 1) << failure.toStdString();
  EXPECT_EQ(second[0].backup, o1234 + ".2");
  test::writeTestFile(dir.path(), "O1234.nc.999999999", "an old one");
  for (const char* version : {"(THIRD)", "(FOURTH)"}) {
    const QList<ShelvedProgram> stored = shelf.storeTape({"O1234", version}, kNoon, &failure);
    ASSERT_EQ(stored.size(), 1) << failure.toStdString();
    EXPECT_TRUE(test::readTestFile(o1234).contains(version));
  }
  EXPECT_TRUE(test::readTestFile(o1234 + ".1000000000").contains("SECOND"));
  EXPECT_TRUE(test::readTestFile(o1234 + ".1000000001").contains("THIRD"));
}

TEST(ProgramRequest, ReadsLoadAndListCommentsInEitherCase) {
  const struct {
    const char* line;
    const char* wanted;  // "LIST", a program, or "" for no request
  } cases[] = {
      {"O9999(LOAD O1234)", "O1234"}, {"(load 1234)", "O1234"},   {"( Load  o01234 )", "O1234"},
      {"(LOAD O12)", "O0012"},         {"(LIST)", "LIST"},         {"G0X0(list)", "LIST"},
      {"(LOADING FIXTURE)", ""},       {"(LOAD)", ""},             {"LOAD O1234", ""},
      {"(LISTE)", ""},
  };
  for (const auto& c : cases) {
    const auto request = findProgramRequest({"%", QString::fromLatin1(c.line), "M30"});
    const QString got = !request ? QString()
                        : request->kind == ProgramRequest::Kind::List ? QStringLiteral("LIST")
                                                                       : request->program;
    EXPECT_EQ(got, QString::fromLatin1(c.wanted)) << c.line;
  }
}

TEST(ProgramRequest, FindsTheProgramByNameThenByNumberButNeverABackup) {
  QTemporaryDir dir;
  const QString d = dir.path();
  test::writeTestFile(d, "a-first.nc", "%\r\n(HEADER)\r\nO0077\r\nM30\r\n%\r\n");
  test::writeTestFile(d, "o5000.txt", "%\r\nO5000\r\nM30\r\n%\r\n");
  test::writeTestFile(d, "O6000.nc.1", "%\r\nO6000\r\n%\r\n");
  test::writeTestFile(d, "O6001-incomplete-20261208-120000.nc", "%\r\nO6001\r\n");
  EXPECT_EQ(findRequestedProgram(d, QStringLiteral("O5000")), d + "/o5000.txt");
  EXPECT_EQ(findRequestedProgram(d, QStringLiteral("O0077")), d + "/a-first.nc");
  EXPECT_TRUE(findRequestedProgram(d, QStringLiteral("O6000")).isEmpty());
  EXPECT_TRUE(findRequestedProgram(d, QStringLiteral("O6001")).isEmpty());
  EXPECT_TRUE(findRequestedProgram(QString(), QStringLiteral("O5000")).isEmpty());

  const QString list = programListText(QStringLiteral("旋盤 No.2"), availablePrograms(d));
  EXPECT_EQ(list, QStringLiteral("%\nO9998\n(PROGRAMS -- NO.2 2)\n(O0077 A-FIRST.NC)\n(O5000 O5000.TXT)\nM30\n%\n"));
}

}  // namespace
}  // namespace korvane
