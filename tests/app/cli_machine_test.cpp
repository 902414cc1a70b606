// korvane-cli machine over a real pseudo-terminal: the test plays korvane on the slave end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <chrono>

#include "support/iso_tape.h"
#include "support/test_files.h"

namespace {

using korvane::test::iso;

constexpr int kStartMs = 10000;
constexpr int kFinishMs = 15000;

QByteArray feed(int n) { return QByteArray(n, '\0'); }

class Machine {
 public:
  explicit Machine(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("machine")} + args);
    for (auto deadline = clock::now() + std::chrono::milliseconds(kStartMs);
         !process_.canReadLine() && clock::now() < deadline;)
      process_.waitForReadyRead(100);
    if (process_.canReadLine()) path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  ~Machine() {
    if (fd_ >= 0) ::close(fd_);
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(kFinishMs);
    }
  }

  const QString& path() const { return path_; }

  // Opens the slave end as korvane opens its port: raw, no controlling terminal.
  bool openLine() {
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return false;
    termios modes{};
    ::tcgetattr(fd_, &modes);
    ::cfmakeraw(&modes);
    return ::tcsetattr(fd_, TCSANOW, &modes) == 0;
  }

  bool write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
      if (n > 0) {
        done += n;
      } else {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) return false;
      }
    }
    return true;
  }

  // Reads until count bytes came or the line stayed silent for timeoutMs.
  QByteArray read(int count, int timeoutMs = 5000) {
    QByteArray got;
    while (got.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) break;
      char buffer[512];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        got.append(buffer, n);
      } else if (n == 0 || errno != EAGAIN) {
        break;  // the machine closed its end
      }
    }
    return got;
  }

  // Waits for the end and gives the JSON summary printed after the path.
  QJsonObject summary() {
    if (!process_.waitForFinished(kFinishMs)) return {};
    exitCode_ = process_.exitCode();
    return QJsonDocument::fromJson(process_.readAllStandardOutput()).object();
  }
  void terminate() { process_.terminate(); }
  int exitCode() const { return exitCode_; }

 private:
  using clock = std::chrono::steady_clock;
  QProcess process_;
  QString path_;
  int fd_ = -1;
  int exitCode_ = -1;
};

using korvane::test::readTestFile;

TEST(CliMachine, ReadsAnIsoStreamStoresTheProgramAndReportsIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  Machine m({"--store", dir.path(), "--idle-exit", "1"});
  ASSERT_FALSE(m.path().isEmpty());
  ASSERT_TRUE(m.openLine()) << m.path().toStdString();
  const QByteArray wire = feed(10) + iso("\n%\nO0012\nG01X10.\nG02X0Y10.R10.\nM30\n%") + feed(10);
  ASSERT_TRUE(m.write(wire));
  const QJsonObject s = m.summary();
  EXPECT_EQ(m.exitCode(), 0);
  EXPECT_EQ(readTestFile(dir.filePath("O0012.nc")), "%\nO0012\nG01X10.\nG02X0Y10.R10.\nM30\n%\n");
  EXPECT_EQ(readTestFile(dir.filePath("raw-1.bin")), wire) << "the raw capture holds the wire bytes exactly";
  EXPECT_EQ(s["mode"].toString(), "read");
  EXPECT_EQ(s["characters"].toInt(), wire.size());
  EXPECT_EQ(s["programs"].toInt(), 1);
  EXPECT_EQ(s["parity_errors"].toInt(), 0);
  EXPECT_EQ(s["overruns"].toInt(), 0);
  const QJsonArray stored = s["stored"].toArray();
  ASSERT_EQ(stored.size(), 1);
  EXPECT_EQ(QFileInfo(stored[0].toObject()["file"].toString()), QFileInfo(dir.filePath("O0012.nc")));
  EXPECT_TRUE(stored[0].toObject()["complete"].toBool());
}

TEST(CliMachine, FullBufferSendsDc3CountsOverrunsAndReportsOnSigterm) {
  Machine m({"--baud", "1200", "--buffer", "16"});
  ASSERT_TRUE(m.openLine());
  // One burst of 40 characters into a reader that holds 16 and takes 109 a second.
  ASSERT_TRUE(m.write(iso("%\nO1\nG1") + iso(QByteArray(33, '1'))));
  EXPECT_EQ(m.read(1), QByteArray("\x13")) << "DC3 once the buffer reached high water";
  ASSERT_TRUE(m.write(iso("3")));  // the sender was slow to stop: one more after DC3
  m.terminate();
  const QJsonObject s = m.summary();
  EXPECT_EQ(m.exitCode(), 0);
  EXPECT_EQ(s["dc3_sent"].toInt(), 1);
  EXPECT_GE(s["overruns"].toInt(), 20);
  EXPECT_EQ(s["lost"].toInt(), s["overruns"].toInt());
  EXPECT_EQ(s["max_buffer_level"].toInt(), 16);
  EXPECT_EQ(s["characters"].toInt(), 41);
  EXPECT_GE(s["bytes_after_dc3"].toInt(), 1);
}

TEST(CliMachine, ParityFaultsOnTheLineAreCounted) {
  Machine m({"--exit-after", "1", "--baud", "0"});
  ASSERT_TRUE(m.openLine());
  // "1" and "X" sent without their parity bits (0x31, 0x58) inside the program.
  ASSERT_TRUE(m.write(iso("%\nG0") + "\x31" + iso("Y") + "\x58" + iso("\nM30\n%")));
  const QJsonObject s = m.summary();
  EXPECT_EQ(s["parity_errors"].toInt(), 2);
  EXPECT_EQ(s["programs"].toInt(), 1);
}

TEST(CliMachine, LinkMakesTheComPortAndGoesAwayWithTheMachine) {
  QTemporaryDir settings;
  ASSERT_TRUE(settings.isValid());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), settings.path());  // the settings folder korvane uses
  const QString link = settings.filePath("korvane-ports/com3");
  {
    Machine m({"--link", "3"}, env);
    ASSERT_FALSE(m.path().isEmpty());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(m.path()).absoluteFilePath());
    m.terminate();
    m.summary();
  }
  EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the machine removes the link it made";
}

TEST(CliMachine, RequestStartAsksForTheDataWithDc1) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  Machine m({"--request-start", "--start-delay", "0", "--store", dir.path(), "--exit-after", "1"});
  ASSERT_TRUE(m.openLine());
  EXPECT_EQ(m.read(1), QByteArray("\x11"));
  ASSERT_TRUE(m.write(iso("%\nO0002\nM30\n%")));
  const QJsonObject s = m.summary();
  EXPECT_GE(s["start_requests"].toInt(), 1);
  EXPECT_TRUE(QFile::exists(dir.filePath("O0002.nc")));
}

TEST(CliMachine, PunchesTheProgramWhenThePcSendsDc1) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString program = dir.filePath("o1.nc");
  {
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%\r\nO1\r\nM30\r\n%\r\n");
  }
  Machine m({"--punch", program, "--exit-after", "1"});
  ASSERT_TRUE(m.openLine());
  EXPECT_TRUE(m.read(1, 300).isEmpty()) << "nothing before the PC asks";
  ASSERT_TRUE(m.write("\x11"));
  const QByteArray expected = feed(20) + "\xA5\x0A" "\xCF\xB1\x0A" "\x4D\x33\x30\x0A" "\xA5" + feed(20);
  EXPECT_EQ(m.read(expected.size()), expected);
  const QJsonObject s = m.summary();
  EXPECT_EQ(s["mode"].toString(), "punch");
  EXPECT_EQ(s["punches"].toInt(), 1);
  EXPECT_EQ(s["characters"].toInt(), expected.size());
}

TEST(CliMachine, PunchInEiaStartsAtOnceWithNoWait) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString program = dir.filePath("o2.nc");
  {
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("O2\nM30\n");
  }
  Machine m({"--punch", program, "--no-wait", "--code", "eia", "--exit-after", "1"});
  ASSERT_TRUE(m.openLine());
  const QByteArray expected = feed(20) + "\x0B\x80" "\x46\x02\x80" "\x54\x13\x20\x80" "\x0B" + feed(20);
  EXPECT_EQ(m.read(expected.size()), expected);
  EXPECT_EQ(m.summary()["punches"].toInt(), 1);
}

// A send that broke off without its closing "%" must not swallow the next job: the broken
// program is kept alone, as incomplete, and the next one whole.
TEST(CliMachine, NewTapeAfterABrokenProgramStartsANewProgram) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  Machine m({"--store", dir.path(), "--exit-after", "4", "--baud", "0"});
  ASSERT_TRUE(m.openLine());
  // Broken off mid-block, then the next job's leader, LF and "%".
  ASSERT_TRUE(m.write(feed(10) + iso("\n%\nO0001\nG01X1") + feed(20) + iso("\n%\nO0002\nM30\n%")));
  // Broken off after a whole block; the next job comes after a quiet line, without a leader.
  QThread::msleep(200);
  ASSERT_TRUE(m.write(iso("\n%\nO0003\nG01Y2\n")));
  QThread::msleep(2500);
  ASSERT_TRUE(m.write(iso("\n")));
  QThread::msleep(500);
  ASSERT_TRUE(m.write(iso("%\nO0004\nM30\n%")));
  const QJsonObject s = m.summary();
  EXPECT_EQ(readTestFile(dir.filePath("O0001-incomplete.nc")), "%\nO0001\nG01X1\n") << "incomplete, alone";
  EXPECT_EQ(readTestFile(dir.filePath("O0002.nc")), "%\nO0002\nM30\n%\n");
  EXPECT_EQ(readTestFile(dir.filePath("O0003-incomplete.nc")), "%\nO0003\nG01Y2\n");
  EXPECT_EQ(readTestFile(dir.filePath("O0004.nc")), "%\nO0004\nM30\n%\n");
  const QJsonArray stored = s["stored"].toArray();
  ASSERT_EQ(stored.size(), 4);
  EXPECT_FALSE(stored[0].toObject()["complete"].toBool());
  EXPECT_TRUE(stored[1].toObject()["complete"].toBool());
  EXPECT_FALSE(stored[2].toObject()["complete"].toBool());
  EXPECT_TRUE(stored[3].toObject()["complete"].toBool());
}

// korvane sending to the simulated machine on a 7-bit odd frame: the machine checks the line's
// parity bit and stores the program whole.
TEST(CliMachine, SevenBitOddFrameFromKorvaneArrivesWithoutParityFaults) {
  QTemporaryDir settings, dir;
  ASSERT_TRUE(settings.isValid() && dir.isValid());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), settings.path());
  {
    QFile ini(settings.filePath("korvane.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    // ｽﾋﾟｰﾄﾞ=19200 ﾊﾟﾘﾃｨ=O ﾃﾞｰﾀ長=7 ｽﾄｯﾌﾟﾋﾞｯﾄ=1 StopCode=1
    ini.write("[COM1]\r\n\xbd\xcb\xdf\xb0\xc4\xde=19200\r\n\xca\xdf\xd8\xc3\xa8=O\r\n\xc3\xde\xb0\xc0\x92\xb7=7\r\n"
              "\xbd\xc4\xaf\xcc\xdf\xcb\xde\xaf\xc4=1\r\nStopCode=1\r\n");
  }
  const QString program = dir.filePath("p.nc");
  {
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("O0042\nG01X10.Y-2.5F300\nM30\n");
  }
  Machine m({"--link", "1", "--frame", "7O1", "--baud", "19200", "--store", dir.path(), "--exit-after", "1"}, env);
  ASSERT_FALSE(m.path().isEmpty());
  QProcess cli;
  cli.setProcessEnvironment(env);
  cli.start(QStringLiteral(KORVANE_CLI_PATH), {"send", program});
  ASSERT_TRUE(cli.waitForFinished(20000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const QJsonObject s = m.summary();
  EXPECT_EQ(s["parity_errors"].toInt(), 0);
  EXPECT_EQ(readTestFile(dir.filePath("O0042.nc")), "%\nO0042 \nG01X10.Y-2.5F300\nM30 \n%\n") << "blocks made even";
}

TEST(CliMachine, RejectsUnusableOptions) {
  for (const QStringList& args : {QStringList{"--code", "ascii"}, QStringList{"--frame", "9X3"},
                                  QStringList{"--buffer", "3"}, QStringList{"--link", "11"},
                                  QStringList{"--no-wait"}, QStringList{"--punch"}}) {
    QProcess p;
    p.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{"machine"} + args);
    ASSERT_TRUE(p.waitForFinished(kFinishMs));
    EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << "no terminal is made for a bad command line";
  }
}

}  // namespace
