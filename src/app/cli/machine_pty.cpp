#include "app/cli/machine_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace korvane::cli {

namespace {

volatile sig_atomic_t gStop = 0;
sigset_t gWaitMask;  // the mask inside wait: the stop signals let through

void onStopSignal(int) { gStop = 1; }

speed_t speedConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, &gWaitMask);
  sigdelset(&gWaitMask, SIGINT);
  sigdelset(&gWaitMask, SIGTERM);
}

bool stopRequested() { return gStop != 0; }

const sigset_t* stopWaitMask() { return &gWaitMask; }

MachinePty::~MachinePty() {
  if (!linkPath_.isEmpty()) {
    // Only the link this machine made: another machine may have taken the port over since.
    char target[4096] = {};
    const ssize_t n = ::readlink(QFile::encodeName(linkPath_).constData(), target, sizeof target - 1);
    if (n > 0 && QFile::decodeName(QByteArray(target, n)) == slavePath_) QFile::remove(linkPath_);
  }
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

namespace {

// Whether path names the terminal open at fd. Where several devpts instances are stacked on
// /dev/pts, the name ptsname gives can lead to another instance's terminal, or to none.
bool namesTerminal(const QByteArray& path, int fd) {
  struct stat byPath {}, byFd {};
  return ::stat(path.constData(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 && byPath.st_dev == byFd.st_dev &&
         byPath.st_ino == byFd.st_ino && byPath.st_rdev == byFd.st_rdev;
}

}  // namespace

bool MachinePty::open(int baud, QString* error) {
  // The system's multiplexer first, then the one of the devpts instance that /dev/pts shows.
  for (const char* multiplexer : {"/dev/ptmx", "/dev/pts/ptmx"}) {
    const int master = ::open(multiplexer, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) continue;
    char name[128] = {};
    int slave = -1;
    if (::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
      slave = ::ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
      ::close(master);
      continue;
    }
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = master;
    slave_ = slave;
    slavePath_ = QString::fromLocal8Bit(name);
    if (namesTerminal(name, slave)) break;
  }
  if (master_ < 0) {
    *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(errnoText());
    return false;
  }
  // Neither name leads here: the descriptor's own entry under /proc does, for any process.
  if (!namesTerminal(QFile::encodeName(slavePath_), slave_))
    slavePath_ = QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(slave_);
  // No echo, no line editing, no character translation until korvane sets its own modes.
  termios modes{};
  if (::tcgetattr(slave_, &modes) == 0) {
    ::cfmakeraw(&modes);
    const speed_t speed = speedConstant(baud);
    if (speed != B0) ::cfsetspeed(&modes, speed);
    ::tcsetattr(slave_, TCSANOW, &modes);
  }
  return true;
}

bool MachinePty::link(int number, const QString& iniPath, QString* error) {
  const QString folder = QFileInfo(iniPath).absolutePath() + QStringLiteral("/korvane-ports");
  if (!QDir().mkpath(folder)) {
    *error = QStringLiteral("cannot create %1").arg(folder);
    return false;
  }
  const QString path = folder + QStringLiteral("/com%1").arg(number);
  // A link of its own renamed over the old one, so that korvane never finds the port missing.
  const QString temporary = path + QStringLiteral(".%1").arg(::getpid());
  QFile::remove(temporary);
  if (::symlink(QFile::encodeName(slavePath_).constData(), QFile::encodeName(temporary).constData()) != 0 ||
      ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
    *error = QStringLiteral("cannot link %1 to %2: %3").arg(path, slavePath_, errnoText());
    QFile::remove(temporary);
    return false;
  }
  linkPath_ = path;
  return true;
}

QByteArray MachinePty::readAvailable() {
  QByteArray all;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n > 0) {
      all.append(chunk, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // EAGAIN: nothing more for now
  }
  return all;
}

int MachinePty::write(const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
    if (n > 0) {
      done += n;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // the terminal's input is full: korvane is not reading
    }
  }
  return int(done);
}

int MachinePty::unreadBySlave() const {
  int count = 0;
  if (::ioctl(slave_, FIONREAD, &count) != 0) return 0;
  return count;
}

void MachinePty::wait(double timeoutMs, bool wantWrite) {
  if (gStop) return;
  pollfd fd{master_, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
  timespec limit{};
  const timespec* limitPointer = waitLimit(timeoutMs, limit);
  ::ppoll(&fd, 1, limitPointer, &gWaitMask);
}

}  // namespace korvane::cli
