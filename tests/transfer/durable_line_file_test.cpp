// A reception that fills the disk keeps whole lines only, and says why it stopped.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>

#include "support/test_files.h"
#include "transfer/durable_line_file.h"

using namespace korvane;

namespace {

// Lets this process write files of at most `bytes` bytes, as a nearly full disk would, for the
// life of the object. SIGXFSZ is ignored so that the write fails with EFBIG instead.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
  bool ok_ = false;
};

}  // namespace

TEST(DurableLineFile, AWriteThatFillsTheDiskIsCutBackToTheLastWholeLine) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.nc");
  DurableLineFile file;
  ASSERT_TRUE(file.open(path));
  const QString line = "G01X100.Y200.Z-3.F150";  // 21 characters + CR LF = 23 bytes
  int written = 0;
  {
    FileSizeLimit limit(100);  // room for four lines and a part of the fifth
    ASSERT_TRUE(limit.ok());
    while (written < 10 && file.writeLine(line)) ++written;
  }
  EXPECT_EQ(written, 4);
  EXPECT_TRUE(file.errorText().startsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
      << file.errorText().toStdString();
  EXPECT_TRUE(file.errorText().endsWith("\r\n" + path));
  file.close();
  EXPECT_EQ(test::readTestFile(path), (line + "\r\n").repeated(4).toLatin1()) << "no cut line at the end";
}

TEST(DurableLineFile, NoSpaceLeftIsReportedInTheSystemsWords) {
  DurableLineFile file;
  ASSERT_TRUE(file.open("/dev/full"));
  EXPECT_FALSE(file.writeLine("G1"));
  EXPECT_EQ(file.errorText(), QString::fromLocal8Bit(std::strerror(ENOSPC)) + "\r\n/dev/full");
}

TEST(DurableLineFile, FolderThatDoesNotExistIsReportedWithThePath) {
  QTemporaryDir dir;
  DurableLineFile file;
  const QString path = dir.filePath("missing/out.nc");
  EXPECT_FALSE(file.open(path));
  EXPECT_EQ(file.errorText(), QString::fromLocal8Bit(std::strerror(ENOENT)) + "\r\n" + path);
}
