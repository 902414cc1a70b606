#include "platform/serial/posix_serial_port.h"

#include <QFile>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/serial/control_codes.h"
#include "platform/serial/port_holder.h"
#include "platform/serial/posix_port_time.h"
#include "platform/serial/posix_termios.h"

namespace korvane {

using namespace posix_port;

PosixSerialPort::PosixSerialPort(DeviceResolver resolver) : resolver_(std::move(resolver)) {}

PosixSerialPort::~PosixSerialPort() { close(); }

QString PosixSerialPort::portLabel() const {
  return device_.isEmpty() ? QStringLiteral("Com %1").arg(number_) : QStringLiteral("Com %1: %2").arg(number_).arg(device_);
}

namespace {
// The reason a busy port gives, naming the process that holds it where that can be found.
QString heldBy(const QString& device, const QString& otherwise) {
  const QString holder = portHolder(device);
  return holder.isEmpty() ? otherwise : QStringLiteral("%1 が使用中 / held by %1").arg(holder);
}
}  // namespace

bool PosixSerialPort::fail(PortError* error, int number, const QString& head, const QString& detail) {
  if (error) *error = PortError{number, QStringLiteral("%1 (%2: %3)").arg(head, portLabel(), detail)};
  return false;
}

bool PosixSerialPort::open(PortError* error) {
  if (isOpen()) return fail(error, kErrPortBusy, QStringLiteral("ポートは既に開いています"), QStringLiteral("already open"));
  failure_.reset();
  emptyReadAtUs_ = -1;
  noModemLines_ = false;
  outQueue_.clear();
  inBuffer_.clear();
  heldByUs_ = false;
  device_ = number_ >= 1 && resolver_ ? resolver_(number_) : QString();
  if (device_.isEmpty()) {
    if (error) *error = PortError{kErrInvalidPort, QStringLiteral("ポートが存在しません (Com %1)").arg(number_)};
    return false;
  }

  QString problem;
  const std::optional<LineSettings> line = parseLineSettings(settingsText_, &problem);
  if (!line) {
    return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                QStringLiteral("\"%1\": %2").arg(settingsText_, problem));
  }

  const QByteArray path = QFile::encodeName(device_);
  int fd = -1;
  do {
    fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR || isLossError(e)) {
      // A device node without hardware behind it (ttyS of a missing UART) opens with EIO.
      return fail(error, kErrInvalidPort, QStringLiteral("ポートが存在しません"), osText(e));
    }
    if (e == EACCES || e == EPERM) {
      return fail(error, kErrPortBusy, QStringLiteral("ポートを開く権限がありません"),
                  osText(e) + QStringLiteral("; dialout グループに入れてからログインし直してください"
                                             " (sudo usermod -aG dialout $USER)"));
    }
    if (e == EBUSY) return fail(error, kErrPortBusy, QStringLiteral("ポートは使用中です"), heldBy(device_, osText(e)));
    return fail(error, kErrPortBusy, QStringLiteral("ポートを開けません"), osText(e));
  }
  if (!::isatty(fd)) {
    ::close(fd);
    return fail(error, kErrInvalidPort, QStringLiteral("シリアルポートではありません"),
                QStringLiteral("not a terminal device"));
  }
  // An advisory lock, because the kernel's exclusive mode (TIOCEXCL, set as well for other
  // programs) does not stop a process running as root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return fail(error, kErrPortBusy, QStringLiteral("ポートは使用中です"),
                heldBy(device_, QStringLiteral("他のプログラムが開いています / in use by another program")));
  }
  ::ioctl(fd, TIOCEXCL);

  // A pseudo-terminal has no frame: it is asked for 8 bits without parity, and a 7-bit frame is
  // built and checked here, byte by byte, as the UART of a real port would.
  const bool pseudoTerminal = isPseudoTerminal(fd);
  LineSettings driverLine = *line;
  if (pseudoTerminal) {
    driverLine.dataBits = 8;
    driverLine.parity = 'N';
  }
  if (const int e = applyLineFrame(fd, driverLine)) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    if (e == EINVAL) {
      return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                  QStringLiteral("\"%1\": このポートでは使えない速度か形式です / the device does not take this speed or frame")
                      .arg(settingsText_));
    }
    if (e == ENOTSUP || e == ENOTTY) {
      return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                  QStringLiteral("\"%1\": この速度はこのシステムでは設定できません / this system cannot set this speed")
                      .arg(settingsText_));
    }
    if (isLossError(e)) return fail(error, kErrInvalidPort, QStringLiteral("ポートが存在しません"), osText(e));
    return fail(error, kErrPortBusy, QStringLiteral("ポートを設定できません"), osText(e));
  }
  fd_ = fd;
  line_ = *line;
  if (pseudoTerminal) {
    frames_.reset(line_.dataBits == 7 ? ReceivedFrames::Mode::SevenBitPty : ReceivedFrames::Mode::Plain, line_.parity);
  } else {
    frames_.reset(line_.parity != 'N' ? ReceivedFrames::Mode::Marked : ReceivedFrames::Mode::Plain, line_.parity);
  }
  if (const int e = applyFlow()) {
    releaseDevice();
    return fail(error, kErrBadSettings, QStringLiteral("ハンドシェイクを設定できません"), osText(e));
  }
  applyModemLines();
  virtualLine_ = pacePseudoTerminals_ && pseudoTerminal;
  emulated_.reset(line_.charUs());
  driverPacing_.reset(line_.charUs());
  driverRoom_ = 0;  // asked at the first write
  return true;
}

void PosixSerialPort::close() {
  if (fd_ >= 0) {
    drainOutput();
    releaseDevice();
  }
  failure_.reset();
}

// Lets queued output leave before the port closes, so that a DC2 or DC4 written just before is
// not lost, but never waits without end while the far end holds the line.
void PosixSerialPort::drainOutput() {
  if (failure_) return;
  const qint64 pending = outQueue_.size() + driverQueued();
  const qint64 deadline = nowMs() + closeGraceMs_ + pending * line_.frameBits() * 1000 / line_.rate;
  while (!failure_) {
    if (highBitFlow()) pumpInput();
    flushOutput(true);
    if (outQueue_.isEmpty() && driverQueued() <= 0) return;
    const int left = msLeft(deadline);
    if (left <= 0) return;
    const short events = (outQueue_.isEmpty() ? 0 : POLLOUT) | (highBitFlow() ? POLLIN : 0);
    const int revents = pollPort(events, std::min(left, outQueue_.isEmpty() ? kDrainStepMs : 50));
    if (revents > 0 && !(revents & POLLIN)) sleepMs(std::min(left, kDrainStepMs));
  }
}

void PosixSerialPort::releaseDevice() {
  // Output still queued after the drain stays held by the far end: discard it, or closing the
  // device would wait for it inside the driver.
  if (outQueue_.size() > 0 || driverQueued() > 0) ::tcflush(fd_, TCOFLUSH);
  if (heldByUs_) ::tcflow(fd_, TCOON);
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the flock
  fd_ = -1;
  outQueue_.clear();
  inBuffer_.clear();
  heldByUs_ = false;
}

// On an emulated 7-bit frame the machine's DC1/DC3 carry the line's parity bit, which the
// driver's IXON would not recognise; they are taken here after the parity bit is removed.
bool PosixSerialPort::highBitFlow() const {
  const bool sevenBitPty = frames_.mode() == ReceivedFrames::Mode::SevenBitPty;
  return usesXonXoff(handshake_) && (highBit_ || sevenBitPty) && !receiveFlowBytes_;
}

int PosixSerialPort::applyFlow() {
  if (fd_ < 0) return 0;
  if (!highBitFlow()) holdOutput(false);
  const bool xon = usesXonXoff(handshake_);
  FlowFlags flags;
  flags.sendXoff = xon;
  flags.holdOnXoff = xon && !highBitFlow() && !receiveFlowBytes_;
  flags.rtsCts = usesRtsCts(handshake_);
  const int e = applyFlowFlags(fd_, flags);
  if (e) noteError(e);
  return e;
}

void PosixSerialPort::applyModemLines() {
  if (fd_ < 0) return;
  auto setLine = [this](int bit, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && errno != ENOTTY) noteError(errno);
  };
  setLine(TIOCM_DTR, dtrEnable_);
  // Under RTS/CTS the driver drops RTS when our input fills; it has to start out asserted.
  setLine(TIOCM_RTS, usesRtsCts(handshake_) || rtsEnable_);
}

void PosixSerialPort::setHandshaking(int mode) {
  handshake_ = mode;
  applyFlow();
  applyModemLines();
}

void PosixSerialPort::setRtsEnable(bool on) {
  rtsEnable_ = on;
  applyModemLines();
}

void PosixSerialPort::setDtrEnable(bool on) {
  dtrEnable_ = on;
  applyModemLines();
}

void PosixSerialPort::setHighBitFlowControl(bool on) {
  highBit_ = on;
  applyFlow();
}

void PosixSerialPort::setReceiveFlowBytes(bool on) {
  receiveFlowBytes_ = on;
  applyFlow();
}

int PosixSerialPort::pumpInput() {
  if (fd_ < 0 || failure_) return 0;
  if (emptyReadAtUs_ >= 0 && nowUs() - emptyReadAtUs_ < kEmptyReadRecheckUs) return 0;
  emptyReadAtUs_ = -1;
  int total = 0;
  char buffer[4096];
  for (;;) {
    qsizetype room = sizeof buffer;
    // The flow bytes must be seen even when nobody reads the input; data beyond the limit is
    // then dropped by takeInput.
    if (!highBitFlow()) room = std::min(room, kInputLimit - inBuffer_.size());
    if (room <= 0) return total;
    const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(room));
    if (n > 0) {
      total += static_cast<int>(n);
      if (frames_.mode() == ReceivedFrames::Mode::Plain) {
        takeInput(buffer, n);
      } else {
        QByteArray data;
        frames_.take(buffer, n, data);
        takeInput(data.constData(), data.size());
      }
      continue;
    }
    if (n == 0) {
      // A raw terminal with VMIN 1 reads 0 bytes only after a hang-up.
      recordLoss(QStringLiteral("the device hung up"));
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      noteError(errno);
    } else if (total == 0) {
      emptyReadAtUs_ = nowUs();
    }
    return total;
  }
}

void PosixSerialPort::takeInput(const char* bytes, qsizetype count) {
  const bool flowHere = highBitFlow();
  for (qsizetype i = 0; i < count; ++i) {
    const auto byte = static_cast<quint8>(bytes[i]);
    if (byte == 0 && nullDiscard_) continue;
    if (flowHere && (byte == kDc3 || byte == kDc3HighBit)) {
      holdOutput(true);
      continue;
    }
    if (flowHere && (byte == kDc1 || byte == kDc1HighBit)) {
      holdOutput(false);
      continue;
    }
    if (inBuffer_.size() < kInputLimit) inBuffer_.append(static_cast<char>(byte));
  }
}

void PosixSerialPort::holdOutput(bool hold) {
  if (fd_ < 0 || hold == heldByUs_) return;
  if (::tcflow(fd_, hold ? TCOOFF : TCOON) != 0) {
    noteError(errno);
    return;
  }
  heldByUs_ = hold;
  if (!hold) flushOutput(true);
}

int PosixSerialPort::driverQueued() {
  if (fd_ < 0 || failure_) return 0;
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
    noteError(errno);
    return 0;
  }
  return std::max(queued, 0);
}

int PosixSerialPort::pollPort(short events, int timeoutMs) {
  pollfd entry{fd_, events, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready < 0) return -1;
  if (ready == 0) return 0;
  if (entry.revents & POLLIN) emptyReadAtUs_ = -1;
  if (entry.revents & POLLHUP) {
    recordLoss(QStringLiteral("the device hung up"));
  } else if (entry.revents & (POLLERR | POLLNVAL)) {
    recordLoss(osText(EIO));
  }
  return entry.revents;
}

void PosixSerialPort::noteError(int error) {
  if (isLossError(error)) recordLoss(osText(error));
}

void PosixSerialPort::recordLoss(const QString& reason) {
  if (failure_) return;
  outQueue_.clear();  // it can never leave
  failure_ = PortError{kErrDeviceLost,
                       QStringLiteral("ポートが使えなくなりました。ケーブルやUSBアダプタを確認してください (%1: %2)")
                           .arg(portLabel(), reason)};
}

int PosixSerialPort::inBufferCount() {
  pumpInput();
  return static_cast<int>(inBuffer_.size());
}

QByteArray PosixSerialPort::input() {
  pumpInput();
  return std::exchange(inBuffer_, QByteArray());
}

bool PosixSerialPort::modemLine(int bit) {
  if (fd_ < 0 || failure_) return false;
  // A pseudo-terminal has no modem lines; it counts as a line that is always ready. A send that
  // checks them looks before each character, so it is asked once.
  if (noModemLines_) return true;
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) == 0) return (lines & bit) != 0;
  if (errno == ENOTTY) return noModemLines_ = true;
  noteError(errno);
  return false;
}

bool PosixSerialPort::dsrHolding() { return modemLine(TIOCM_DSR); }

bool PosixSerialPort::cdHolding() { return modemLine(TIOCM_CAR); }

// On a closed or failed port both waits sleep out their time, so that a caller polling in a
// loop never spins.
void PosixSerialPort::waitForInput(int timeoutMs) {
  if (fd_ < 0 || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  pumpInput();
  bool waited = false;
  while (inBuffer_.isEmpty() && !failure_) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    const int revents = pollPort(POLLIN, left);
    if (revents <= 0) return;  // timed out, or a signal asks the caller to look up
    waited = true;
    if (pumpInput() == 0) sleepMs(std::min(left, kDrainStepMs));
  }
  if (waited && !failure_) {
    gatherInput(deadline);
    pumpInput();
  }
}

}  // namespace korvane
