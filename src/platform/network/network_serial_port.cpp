#include "platform/network/network_serial_port.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/serial/control_codes.h"
#include "platform/serial/posix_port_time.h"
#include "platform/network/rfc2217_client.h"
#include "platform/network/tcp_socket.h"

namespace korvane {

namespace {

constexpr qsizetype kOutputLimit = 64 * 1024;
constexpr qsizetype kInputLimit = 64 * 1024;
// How long the device server may take to agree to COM port control and to take the settings.
constexpr int kNegotiateMs = 3000;
// Step of the waits for the kernel's send queue, which gives no wake-up when it empties.
constexpr int kQueueStepMs = 2;

using posix_port::msLeft;
using posix_port::nowMs;
using posix_port::nowUs;
using posix_port::osText;
using posix_port::sleepMs;

}  // namespace

NetworkSerialPort::NetworkSerialPort(NetAddress address) : address_(std::move(address)) {}

NetworkSerialPort::~NetworkSerialPort() { close(); }

QString NetworkSerialPort::label() const { return QStringLiteral("Com %1: %2").arg(number_).arg(address_.text()); }

bool NetworkSerialPort::fail(PortError* error, int number, const QString& head, const QString& detail) {
  if (error) *error = PortError{number, QStringLiteral("%1 (%2: %3)").arg(head, label(), detail)};
  return false;
}

bool NetworkSerialPort::open(PortError* error) {
  if (isOpen()) return fail(error, kErrPortBusy, QStringLiteral("ポートは既に開いています"), QStringLiteral("already open"));
  failure_.reset();
  outQueue_.clear();
  wire_.clear();
  inBuffer_.clear();
  heldByDc3_ = false;
  QString problem;
  const std::optional<LineSettings> line = parseLineSettings(settingsText_, &problem);
  if (!line) {
    return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                QStringLiteral("\"%1\": %2").arg(settingsText_, problem));
  }
  line_ = *line;
  emulated_.reset(line_.charUs(), kNetworkAheadChars, kNetworkReserveChars);

  QString holder;
  if (!lock_.acquire(address_, &holder)) {
    return fail(error, kErrPortBusy, QStringLiteral("ポートは使用中です"),
                holder.isEmpty() ? QStringLiteral("他のプログラムが接続しています / in use by another program")
                                 : QStringLiteral("%1 が使用中 / held by %1").arg(holder));
  }
  const ConnectResult connection = connectTcp(address_.host, address_.port, connectTimeoutMs_);
  if (connection.fd < 0) {
    lock_.release();
    return fail(error, kErrPortBusy, QStringLiteral("デバイスサーバーに接続できません"), connection.reason);
  }
  fd_ = connection.fd;
  if (rfc2217() && !negotiate(error)) {
    release();
    return false;
  }
  return true;
}

bool NetworkSerialPort::negotiate(PortError* error) {
  telnet_ = std::make_unique<Rfc2217Client>();
  wire_ += telnet_->start();
  auto waitUntil = [this](qint64 deadline, auto done) {
    while (!failure_ && !done()) {
      const int left = msLeft(deadline);
      if (left <= 0) return;
      writeWire();
      if (pollSocket(static_cast<short>(POLLIN | (wire_.isEmpty() ? 0 : POLLOUT)), left) < 0) return;
      pump();
    }
  };
  waitUntil(nowMs() + kNegotiateMs, [this] { return telnet_->accepted() || telnet_->refused(); });
  auto lost = [&] {
    if (error) *error = PortError{kErrPortBusy, failure_->description};
    return false;
  };
  if (failure_) return lost();
  if (!telnet_->accepted()) {
    return fail(error, kErrBadSettings, QStringLiteral("デバイスサーバーが RFC 2217 の COM ポート制御に応じません"),
                telnet_->refused() ? QStringLiteral("COM-PORT-OPTION を断られました。tcp:// で試してください / refused COM-PORT-OPTION; try tcp://")
                                   : QStringLiteral("%1 秒以内に応答がありません / no answer within %1 s").arg(kNegotiateMs / 1000));
  }
  wire_ += telnet_->setLine(line_);
  sendFlowControl();
  sendModemLines();
  waitUntil(nowMs() + kNegotiateMs, [this] { return telnet_->lineConfirmed(); });
  if (failure_) return lost();
  if (!telnet_->mismatch().isEmpty()) {
    return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                QStringLiteral("\"%1\": デバイスサーバーが設定を受け付けません / the device server did not take it (%2)")
                    .arg(settingsText_, telnet_->mismatch()));
  }
  if (!telnet_->lineConfirmed()) {
    return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                QStringLiteral("\"%1\": デバイスサーバーが設定に答えません / no answer to the line settings").arg(settingsText_));
  }
  return true;
}

void NetworkSerialPort::sendFlowControl() {
  if (fd_ < 0 || !telnet_) return;
  using namespace telnet;
  // XON/XOFF is left to the server's port where it can do it: there a DC3 stops the line within
  // a character. 0x93/0x91 and DC1/DC3 for the reader are matters of ours.
  const bool xon = usesXonXoff(handshake_);
  const quint8 outbound = usesRtsCts(handshake_)                       ? kOutboundHardware
                          : xon && !highBit_ && !receiveFlowBytes_ ? kOutboundXonXoff
                                                                   : kOutboundNone;
  const quint8 inbound = xon ? kInboundXonXoff : usesRtsCts(handshake_) ? kInboundHardware : kInboundNone;
  wire_ += telnet_->setFlowControl(outbound, inbound);
  writeWire();
}

void NetworkSerialPort::sendModemLines() {
  if (fd_ < 0 || !telnet_) return;
  // Under RTS/CTS the server's port drives RTS itself.
  wire_ += telnet_->setModemLines(dtrEnable_, usesRtsCts(handshake_) || rtsEnable_);
  writeWire();
}

void NetworkSerialPort::setHandshaking(int mode) {
  handshake_ = mode;
  if (!flowHere()) heldByDc3_ = false;
  sendFlowControl();
  sendModemLines();
}

void NetworkSerialPort::setRtsEnable(bool on) {
  rtsEnable_ = on;
  sendModemLines();
}

void NetworkSerialPort::setDtrEnable(bool on) {
  dtrEnable_ = on;
  sendModemLines();
}

void NetworkSerialPort::setHighBitFlowControl(bool on) {
  highBit_ = on;
  sendFlowControl();
}

void NetworkSerialPort::setReceiveFlowBytes(bool on) {
  receiveFlowBytes_ = on;
  if (!flowHere()) heldByDc3_ = false;
  sendFlowControl();
}

bool NetworkSerialPort::flowHere() const { return usesXonXoff(handshake_) && !receiveFlowBytes_; }

// Input beyond the limit stays in the connection until the reader takes some; a wait must not
// wake for it over and over.
short NetworkSerialPort::readEvents() const { return !flowHere() && inBuffer_.size() >= kInputLimit ? 0 : POLLIN; }

bool NetworkSerialPort::held() const { return heldByDc3_ || (telnet_ && telnet_->suspended()); }

void NetworkSerialPort::close() {
  if (fd_ >= 0 && !failure_) {
    // Lets what was written leave and reach the device server (acknowledged), and the line, so
    // that a DC4 written just before is not lost; never waits without end on a held line.
    const qint64 pendingUs = (outQueue_.size() + wire_.size()) * emulated_.charUs();
    const qint64 deadline = nowMs() + closeGraceMs_ + pendingUs / 1000;
    while (!failure_) {
      pump();
      flush(false);
      const bool sent = outQueue_.isEmpty() && wire_.isEmpty() && tcpUnacknowledged(fd_) == 0;
      const qint64 lineUs = emulated_.usUntilIdle(nowUs());
      if (sent && lineUs <= 0) break;
      const int left = msLeft(deadline);
      if (left <= 0) break;
      const int step = sent ? int(std::min<qint64>(left, lineUs / 1000 + 1)) : std::min(left, kQueueStepMs);
      pollSocket(static_cast<short>(readEvents() | (wire_.isEmpty() ? 0 : POLLOUT)), step);
    }
  }
  release();
  failure_.reset();
}

void NetworkSerialPort::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  lock_.release();
  telnet_.reset();
  outQueue_.clear();
  wire_.clear();
  inBuffer_.clear();
  heldByDc3_ = false;
}

int NetworkSerialPort::pump() {
  if (fd_ < 0 || failure_) return 0;
  int total = 0;
  char buffer[4096];
  for (;;) {
    if (!flowHere() && inBuffer_.size() >= kInputLimit) break;  // the connection throttles the server
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      total += int(n);
      if (telnet_) {
        QByteArray data;
        wire_ += telnet_->receive(QByteArrayView(buffer, n), &data);
        takeData(data);
      } else {
        takeData(QByteArray::fromRawData(buffer, n));
      }
      continue;
    }
    if (n == 0) {
      lose(QStringLiteral("デバイスサーバーが接続を閉じました / the device server closed the connection"));
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      lose(osText(errno));
    }
    break;
  }
  if (!wire_.isEmpty()) writeWire();
  return total;
}

void NetworkSerialPort::takeData(const QByteArray& bytes) {
  const bool flow = flowHere();
  for (const char c : bytes) {
    const auto byte = static_cast<quint8>(c);
    if (byte == 0 && nullDiscard_) continue;
    if (flow && (byte == kDc3 || (highBit_ && byte == kDc3HighBit))) {
      heldByDc3_ = true;
      continue;
    }
    if (flow && (byte == kDc1 || (highBit_ && byte == kDc1HighBit))) {
      heldByDc3_ = false;
      continue;
    }
    if (inBuffer_.size() < kInputLimit) inBuffer_.append(c);
  }
}

// The device server puts what it gets on its line at once, so the connection is given the
// emulated line's slices. A DC3 that has arrived is read before each slice goes.
void NetworkSerialPort::flush(bool readFirst) {
  if (fd_ < 0 || failure_) return;
  if (!outQueue_.isEmpty() && emulated_.sliceNow(outQueue_.size(), nowUs()) > 0) {
    if (readFirst) pump();
    const qsizetype n = held() ? 0 : emulated_.sliceNow(outQueue_.size(), nowUs());
    if (n > 0) {
      const QByteArrayView chunk(outQueue_.constData(), n);
      wire_ += telnet_ ? Rfc2217Client::data(chunk) : chunk.toByteArray();
      emulated_.carried(n, nowUs());
      outQueue_.remove(0, n);
    }
  }
  if (!wire_.isEmpty()) writeWire();
}

void NetworkSerialPort::writeWire() {
  qsizetype written = 0;
  while (fd_ >= 0 && !failure_ && written < wire_.size()) {
    const ssize_t n = ::send(fd_, wire_.constData() + written, size_t(wire_.size() - written), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      written += n;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) lose(osText(errno));
      break;
    }
  }
  if (!failure_) wire_.remove(0, written);
}

int NetworkSerialPort::pollSocket(short events, int timeoutMs) {
  pollfd entry{fd_, events, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready <= 0) return ready;
  // A reset shows as POLLERR; the reason comes from the next read or write.
  if (entry.revents & (POLLERR | POLLHUP)) pump();
  if (entry.revents & POLLNVAL) lose(osText(EBADF));
  return entry.revents;
}

void NetworkSerialPort::lose(const QString& reason) {
  if (failure_) return;
  outQueue_.clear();
  wire_.clear();
  failure_ = PortError{kErrDeviceLost,
                       QStringLiteral("デバイスサーバーとの接続が切れました。ネットワークとデバイスサーバーを確認してください (%1: %2)")
                           .arg(label(), reason)};
}

bool NetworkSerialPort::output(quint8 byte) {
  if (fd_ < 0 || failure_ || outQueue_.size() >= kOutputLimit) return false;
  outQueue_.append(static_cast<char>(byte));
  flush(true);
  return !failure_;
}

int NetworkSerialPort::outputRoom() {
  if (fd_ < 0 || failure_) return 1;  // output() then tells the caller
  return static_cast<int>(std::max<qsizetype>(0, emulated_.slice() - outQueue_.size()));
}

int NetworkSerialPort::outBufferCount() {
  if (fd_ < 0) return 0;
  pump();
  flush(false);
  if (failure_) return 0;
  return static_cast<int>(outQueue_.size() + wire_.size()) + tcpUnsent(fd_);
}

int NetworkSerialPort::inBufferCount() {
  pump();
  return static_cast<int>(inBuffer_.size());
}

QByteArray NetworkSerialPort::input() {
  pump();
  return std::exchange(inBuffer_, QByteArray());
}

bool NetworkSerialPort::dsrHolding() {
  if (fd_ < 0 || failure_) return false;
  pump();
  // A raw socket carries no modem lines, and a server that has not reported them yet is taken
  // at its word that the line is there: both count as asserted, as a pseudo-terminal does.
  const auto state = telnet_ ? telnet_->modemState() : std::nullopt;
  return !state || (*state & telnet::kModemDsr);
}

bool NetworkSerialPort::cdHolding() {
  if (fd_ < 0 || failure_) return false;
  pump();
  const auto state = telnet_ ? telnet_->modemState() : std::nullopt;
  return !state || (*state & telnet::kModemCd);
}

void NetworkSerialPort::waitForInput(int timeoutMs) {
  if (fd_ < 0 || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  pump();
  bool waited = false;
  while (inBuffer_.isEmpty() && !failure_) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    if (pollSocket(static_cast<short>(POLLIN | (wire_.isEmpty() ? 0 : POLLOUT)), left) <= 0) return;
    waited = true;
    // Telnet commands alone wake us without data; they are read and the wait goes on.
    if (pump() == 0 && !failure_) sleepMs(std::min(left, kQueueStepMs));
  }
  // What follows the first character for a few milliseconds is taken in the same wake-up, as
  // on a local port.
  if (waited && !failure_) {
    posix_port::pauseToGatherInput(deadline);
    pump();
  }
}

void NetworkSerialPort::waitForOutput(int timeoutMs) {
  if (fd_ < 0 || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  pump();
  flush(false);
  auto pending = [this] { return outQueue_.size() + wire_.size() + (fd_ >= 0 ? tcpUnsent(fd_) : 0); };
  const qsizetype before = pending();
  while (!failure_ && before > 0) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    qint64 stepUs = qint64(left) * 1000;
    if (!outQueue_.isEmpty() && !held() && emulated_.sliceNow(outQueue_.size(), nowUs()) == 0) {
      stepUs = std::min(stepUs, std::max<qint64>(emulated_.usUntilSlice(outQueue_.size(), nowUs()), 100));
    } else if (outQueue_.isEmpty() && wire_.isEmpty()) {
      stepUs = std::min<qint64>(stepUs, kQueueStepMs * 1000);  // the kernel's queue, no wake-up
    }
    const timespec timeout{static_cast<time_t>(stepUs / 1'000'000), static_cast<long>(stepUs % 1'000'000) * 1000};
    pollfd entry{fd_, static_cast<short>(readEvents() | (wire_.isEmpty() ? 0 : POLLOUT)), 0};
    if (::ppoll(&entry, 1, &timeout, nullptr) < 0) return;  // a signal: let the caller look up
    const int taken = pump();
    flush(false);
    if (pending() < before) return;
    // Woken by a read of nothing new (telnet only) or by room that flow control keeps unused.
    if (entry.revents && taken == 0 && !(entry.revents & POLLIN)) sleepMs(std::min(left, kQueueStepMs));
  }
}

}  // namespace korvane
