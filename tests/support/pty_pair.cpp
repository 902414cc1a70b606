#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace korvane::test {

namespace {

// How long the line must stay quiet before read() takes a transfer as complete.
constexpr int kQuietMs = 20;

qint64 nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

PtyPair::PtyPair() {
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    master_ = slave_ = -1;
    return;
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  slavePath_ = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
  closeMaster();
  if (slave_ >= 0) ::close(slave_);
}

bool PtyPair::write(const QByteArray& bytes) {
  qsizetype done = 0;
  const qint64 deadline = nowMs() + 1000;
  while (master_ >= 0 && done < bytes.size() && nowMs() < deadline) {
    const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n > 0) {
      done += n;
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    } else {
      pollfd entry{master_, POLLOUT, 0};
      ::poll(&entry, 1, 10);
    }
  }
  return done == bytes.size();
}

QByteArray PtyPair::read(int timeoutMs, int expected) {
  QByteArray got;
  if (master_ < 0) return got;
  const qint64 deadline = nowMs() + timeoutMs;
  for (;;) {
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      got.append(buffer, n);
      if (expected > 0 && got.size() >= expected) return got;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return got;  // EIO: no slave is open
    const qint64 left = deadline - nowMs();
    if (left <= 0) return got;
    const bool waitForMore = got.isEmpty() || expected > 0;
    pollfd entry{master_, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(waitForMore ? left : std::min<qint64>(left, kQuietMs)));
    if (ready == 0 && !waitForMore) return got;
  }
}

void PtyPair::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

TempWindir::TempWindir() : hadWindir_(qEnvironmentVariableIsSet("windir")), oldWindir_(qgetenv("windir")) {
  if (dir_.isValid()) qputenv("windir", QFile::encodeName(dir_.path()));
}

TempWindir::~TempWindir() {
  if (hadWindir_) {
    qputenv("windir", oldWindir_);
  } else {
    qunsetenv("windir");
  }
}

bool TempWindir::linkComPort(int number, const QString& target) {
  const QString ports = dir_.path() + QStringLiteral("/korvane-ports");
  if (!QDir().mkpath(ports)) return false;
  const QString link = ports + QStringLiteral("/com") + QString::number(number);
  ::unlink(QFile::encodeName(link).constData());
  return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

}  // namespace korvane::test
