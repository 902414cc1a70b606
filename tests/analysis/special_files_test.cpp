// A FIFO or a device in the file list is refused by every reader of programs, before it is
// opened: an open of a FIFO would block, a device like /dev/zero would never end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "analysis/dnc_work_data.h"
#include "analysis/machining_time.h"
#include "analysis/program_reading.h"
#include "transfer/program_reader.h"

using namespace korvane;

namespace {

struct Nothing final : ReadingObserver {
  void blockRead(std::int64_t, const BlockPlace&, const BlockWords&) override {}
  void block(std::int64_t, const ModalState&, double) override {}
  void move(const Move&) override {}
  void rowEnded(const MachiningRow&) override {}
};

}  // namespace

TEST(SpecialFiles, AreRefusedByTheEstimateTheReadingTheConversionAndTheSend) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("O1.nc"));
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
    QString unreadable;
    MachiningSink sink;
    sink.unreadable = [&](const QString&, const QString& error) { unreadable = error; };
    EXPECT_FALSE(kakou_time({path}, sink));
    EXPECT_TRUE(unreadable.contains(QStringLiteral("通常のファイルではありません"))) << unreadable.toStdString();

    Nothing observer;
    QString error;
    EXPECT_FALSE(readProgram(path, MachineModel{}, observer, &error));
    EXPECT_FALSE(error.isEmpty());

    DncWorkData work;
    EXPECT_FALSE(work.build({path}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("通常のファイルではありません")));

    ProgramReader reader(path);
    EXPECT_FALSE(reader.open());
    EXPECT_FALSE(reader.errorString().isEmpty());
  }
}
