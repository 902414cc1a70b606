#include "app/cli/machine_socket.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/cli/machine_pty.h"
#include "platform/network/rfc2217_server.h"

namespace korvane::cli {

namespace {

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

}  // namespace

MachineSocket::MachineSocket(bool rfc2217) : rfc2217_(rfc2217) {}

MachineSocket::~MachineSocket() {
  if (!linkPath_.isEmpty()) {
    QFile file(linkPath_);
    // Only the entry this machine wrote: another machine may have taken the port over since.
    if (file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).trimmed() == address()) {
      file.close();
      QFile::remove(linkPath_);
    }
  }
  drop();
  if (listener_ >= 0) ::close(listener_);
}

bool MachineSocket::listen(const QString& hostPort, QString* error) {
  QString host;
  QString portText;
  if (hostPort.startsWith(QLatin1Char('['))) {
    const qsizetype close = hostPort.indexOf(QLatin1String("]:"));
    if (close < 0) return *error = QStringLiteral("--listen takes HOST:PORT or [IPv6]:PORT"), false;
    host = hostPort.mid(1, close - 1);
    portText = hostPort.mid(close + 2);
  } else {
    const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return *error = QStringLiteral("--listen takes HOST:PORT or [IPv6]:PORT"), false;
    host = hostPort.left(colon);
    portText = hostPort.mid(colon + 1);
  }
  bool ok = false;
  const uint port = portText.toUInt(&ok);
  if (!ok || port > 65535) return *error = QStringLiteral("--listen: bad port %1").arg(portText), false;

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const int gai = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &list);
  if (gai != 0) return *error = QStringLiteral("--listen %1: %2").arg(hostPort, QString::fromLocal8Bit(::gai_strerror(gai))), false;
  int lastError = 0;
  for (const addrinfo* ai = list; ai && listener_ < 0; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, 4) == 0) {
      listener_ = fd;
    } else {
      lastError = errno;
      ::close(fd);
    }
  }
  ::freeaddrinfo(list);
  if (listener_ < 0) return *error = QStringLiteral("cannot listen on %1: %2").arg(hostPort, errnoText(lastError)), false;
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
  char text[INET6_ADDRSTRLEN] = {};
  if (bound.ss_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(&bound);
    ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
    port_ = ntohs(a->sin6_port);
  } else {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&bound);
    ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    port_ = ntohs(a->sin_port);
  }
  host_ = QString::fromLatin1(text);
  return true;
}

QString MachineSocket::address() const {
  const QString host = host_.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host_) : host_;
  return (rfc2217_ ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) + host + QLatin1Char(':') + QString::number(port_);
}

bool MachineSocket::link(int number, const QString& iniPath, QString* error) {
  const QString folder = QFileInfo(iniPath).absolutePath() + QStringLiteral("/korvane-ports");
  const QString path = folder + QStringLiteral("/com%1").arg(number);
  if (!QDir().mkpath(folder)) return *error = QStringLiteral("cannot create %1").arg(folder), false;
  // A link to a device is replaced by the file, which QSaveFile would write through.
  if (QFileInfo(path).isSymLink()) QFile::remove(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(address().toUtf8() + '\n') < 0 || !file.commit())
    return *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString()), false;
  linkPath_ = path;
  return true;
}

void MachineSocket::accept() {
  if (client_ >= 0) return;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  client_ = fd;
  pendingControl_.clear();
  if (rfc2217_) {
    telnet_ = std::make_unique<Rfc2217Server>();
    // The line is there: DSR, CD and CTS asserted.
    sendRaw(telnet_->start() + telnet_->notifyModemState(0xB0));
  }
}

void MachineSocket::drop() {
  if (client_ >= 0) ::close(client_);
  client_ = -1;
  telnet_.reset();
  pendingControl_.clear();
}

void MachineSocket::sendRaw(const QByteArray& bytes) {
  pendingControl_ += bytes;
  while (client_ >= 0 && !pendingControl_.isEmpty()) {
    const ssize_t n = ::send(client_, pendingControl_.constData(), size_t(pendingControl_.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      pendingControl_.remove(0, n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) drop();
      break;
    }
  }
}

QByteArray MachineSocket::readAvailable() {
  QByteArray data;
  char chunk[65536];
  // A connection waits in the backlog while another is served; it is taken once that one ends.
  if (client_ < 0) accept();
  while (client_ >= 0) {
    const ssize_t n = ::recv(client_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      if (telnet_) {
        const QByteArray replies = telnet_->receive(QByteArrayView(chunk, n), &data);
        if (!replies.isEmpty()) sendRaw(replies);
      } else {
        data.append(chunk, n);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    drop();  // korvane closed its port: take the next connection
    accept();
  }
  return data;
}

int MachineSocket::write(const QByteArray& bytes) {
  if (client_ < 0 || !pendingControl_.isEmpty()) {
    if (client_ >= 0) sendRaw({});
    return 0;
  }
  if (!telnet_) {
    for (;;) {
      const ssize_t n = ::send(client_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) return int(n);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) drop();
      return 0;
    }
  }
  // Escaped data goes out whole or waits in the control queue, so a doubled 0xFF is never cut.
  sendRaw(Rfc2217Server::data(bytes));
  return int(bytes.size());
}

int MachineSocket::unreadBySlave() const {
  int count = 0;
  if (client_ < 0 || ::ioctl(client_, SIOCOUTQ, &count) != 0) return 0;
  return count + int(pendingControl_.size());
}

void MachineSocket::wait(double timeoutMs, bool wantWrite) {
  if (stopRequested()) return;
  // One line, one client: the listener is looked at only while nobody is connected.
  pollfd fds[1] = {client_ >= 0 ? pollfd{client_, short(POLLIN | (wantWrite || !pendingControl_.isEmpty() ? POLLOUT : 0)), 0}
                                : pollfd{listener_, POLLIN, 0}};
  timespec limit{};
  const timespec* limitPointer = waitLimit(timeoutMs, limit);
  ::ppoll(fds, 1, limitPointer, stopWaitMask());
  if (client_ >= 0 && !pendingControl_.isEmpty() && (fds[0].revents & POLLOUT)) sendRaw({});
}

}  // namespace korvane::cli
