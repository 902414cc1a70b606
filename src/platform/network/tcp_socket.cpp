#include "platform/network/tcp_socket.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstring>

namespace korvane {

namespace {

qint64 nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void tune(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  // A device server that lost power sends no reset; without this a held line would wait for it
  // for hours.
  const int idle = 10, interval = 3, count = 3;
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

// One connect attempt; 0 or an errno value.
int attempt(const addrinfo& ai, qint64 deadline, int* fdOut) {
  const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) return errno;
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      const int e = errno;
      ::close(fd);
      return e;
    }
    for (;;) {
      const qint64 left = deadline - nowMs();
      if (left <= 0) {
        ::close(fd);
        return ETIMEDOUT;
      }
      pollfd entry{fd, POLLOUT, 0};
      const int ready = ::poll(&entry, 1, int(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready > 0) break;
      if (ready < 0) {
        const int e = errno;
        ::close(fd);
        return e;
      }
    }
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
    if (soError != 0) {
      ::close(fd);
      return soError;
    }
  }
  tune(fd);
  *fdOut = fd;
  return 0;
}

}  // namespace

ConnectResult connectTcp(const QString& host, quint16 port, int timeoutMs) {
  ConnectResult result;
  const qint64 deadline = nowMs() + timeoutMs;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const QByteArray name = host.toUtf8();
  const QByteArray service = QByteArray::number(port);
  const int gai = ::getaddrinfo(name.constData(), service.constData(), &hints, &list);
  if (gai != 0) {
    // Loopback literals fail with AI_ADDRCONFIG on a machine without other addresses.
    hints.ai_flags = AI_NUMERICSERV;
    if (::getaddrinfo(name.constData(), service.constData(), &hints, &list) != 0) {
      result.error = ENOENT;
      result.reason = QStringLiteral("ホスト名を解決できません / cannot resolve the host: %1").arg(QString::fromLocal8Bit(::gai_strerror(gai)));
      return result;
    }
  }
  int lastError = ECONNREFUSED;
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    int fd = -1;
    lastError = attempt(*ai, deadline, &fd);
    if (lastError == 0) {
      result.fd = fd;
      break;
    }
    if (lastError == ETIMEDOUT) break;
  }
  ::freeaddrinfo(list);
  if (result.fd < 0) {
    result.error = lastError;
    result.reason = lastError == ETIMEDOUT
                        ? QStringLiteral("%1 秒以内に応答がありません / no answer within %1 s").arg(timeoutMs / 1000.0)
                        : QString::fromLocal8Bit(std::strerror(lastError));
  }
  return result;
}

int tcpUnsent(int fd) {
  int count = 0;
  return ::ioctl(fd, SIOCOUTQNSD, &count) == 0 ? count : 0;
}

int tcpUnacknowledged(int fd) {
  int count = 0;
  return ::ioctl(fd, SIOCOUTQ, &count) == 0 ? count : 0;
}

}  // namespace korvane
