#include "platform/serial/win32_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/serial/control_codes.h"
#include "platform/win32_error.h"

namespace korvane {

namespace {

// Output accepted ahead of the driver; the engines wait for an empty buffer before each byte.
constexpr qsizetype kOutputLimit = 64 * 1024;
// Input read ahead of the caller. Beyond it the driver's buffer fills and its own flow control
// (XOFF, RTS) throttles the far end.
constexpr qsizetype kInputLimit = 64 * 1024;
// The driver's queues, and the free room below which it sends XOFF (and above which XON).
constexpr DWORD kDriverInQueue = 4096;
constexpr DWORD kDriverOutQueue = 4096;
constexpr WORD kXoffLimit = 1024;
constexpr WORD kXonLimit = 1024;
// A 16550's transmit FIFO: how far ahead of the line rate output is let through.
constexpr qint64 kVirtualFifo = 16;
// Step of the wait for the driver's queue while nothing else wakes us.
constexpr int kDrainStepMs = 2;
constexpr DWORD kPortEvents = EV_RXCHAR | EV_TXEMPTY | EV_ERR | EV_DSR | EV_RLSD | EV_BREAK;

qint64 nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 nowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int msLeft(qint64 deadline) { return static_cast<int>(std::clamp<qint64>(deadline - nowMs(), 0, 1 << 30)); }

void sleepMs(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

bool isMissingPortError(DWORD e) {
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME || e == ERROR_BAD_UNIT ||
         e == ERROR_DEV_NOT_EXIST || e == ERROR_BAD_NETPATH;
}

}  // namespace

struct Win32SerialPort::Io {
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED readOv{};
  OVERLAPPED writeOv{};
  OVERLAPPED eventOv{};
  DWORD eventMask = 0;
  bool eventPending = false;   // a WaitCommEvent is outstanding
  bool eventsBroken = false;   // the driver cannot wait for port events: waits step instead
  QByteArray writing;          // the bytes of the outstanding write
  bool writePending = false;
  QByteArray reading;          // the buffer of the outstanding read
  bool readPending = false;

  Io() {
    readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    eventOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~Io() {
    for (HANDLE h : {readOv.hEvent, writeOv.hEvent, eventOv.hEvent})
      if (h) CloseHandle(h);
  }
  Io(const Io&) = delete;
  Io& operator=(const Io&) = delete;
};

QString Win32SerialPort::comDeviceName(int number) {
  return number >= 1 ? QStringLiteral("\\\\.\\COM%1").arg(number) : QString();
}

Win32SerialPort::Win32SerialPort(DeviceResolver resolver) : resolver_(std::move(resolver)), io_(std::make_unique<Io>()) {}

Win32SerialPort::~Win32SerialPort() { close(); }

bool Win32SerialPort::isOpen() const { return io_->handle != INVALID_HANDLE_VALUE; }

QString Win32SerialPort::portLabel() const {
  return device_.isEmpty() ? QStringLiteral("Com %1").arg(number_) : QStringLiteral("Com %1: %2").arg(number_).arg(device_);
}

bool Win32SerialPort::fail(PortError* error, int number, const QString& head, const QString& detail) {
  if (error) *error = PortError{number, QStringLiteral("%1 (%2: %3)").arg(head, portLabel(), detail)};
  return false;
}

bool Win32SerialPort::open(PortError* error) {
  if (isOpen()) return fail(error, kErrPortBusy, QStringLiteral("ポートは既に開いています"), QStringLiteral("already open"));
  failure_.reset();
  outQueue_.clear();
  inBuffer_.clear();
  heldByUs_ = false;
  noModemLines_ = false;
  parityErrors_ = 0;
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

  // No sharing: the port is ours alone while open, as the comm control had it.
  const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(device_.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    if (isMissingPortError(e)) return fail(error, kErrInvalidPort, QStringLiteral("ポートが存在しません"), win32ErrorText(e));
    if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_BUSY)
      return fail(error, kErrPortBusy, QStringLiteral("ポートは使用中です"), win32ErrorText(e));
    return fail(error, kErrPortBusy, QStringLiteral("ポートを開けません"), win32ErrorText(e));
  }
  DCB probe{};
  probe.DCBlength = sizeof probe;
  if (!GetCommState(h, &probe)) {
    const DWORD e = GetLastError();
    CloseHandle(h);
    return fail(error, kErrInvalidPort, QStringLiteral("シリアルポートではありません"), win32ErrorText(e));
  }
  io_->handle = h;
  line_ = *line;
  SetupComm(h, kDriverInQueue, kDriverOutQueue);
  if (!applyState()) {
    const DWORD e = GetLastError();
    releaseDevice();
    if (e == ERROR_INVALID_PARAMETER || e == ERROR_NOT_SUPPORTED) {
      return fail(error, kErrBadSettings, QStringLiteral("通信設定が正しくありません"),
                  QStringLiteral("\"%1\": このポートでは使えない速度か形式です / the device does not take this speed or frame (%2)")
                      .arg(settingsText_, win32ErrorText(e)));
    }
    return fail(error, kErrPortBusy, QStringLiteral("ポートを設定できません"), win32ErrorText(e));
  }
  // A read returns what is there. Windows completes it at once, also with nothing, and wakes us
  // through WaitCommEvent; Wine keeps it outstanding until something arrives (its
  // WaitCommEvent answers "not supported"), so a read is left outstanding and its completion
  // wakes the waits as well.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  SetCommTimeouts(h, &timeouts);
  SetCommMask(h, kPortEvents);
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
  DWORD errors = 0;
  ClearCommError(h, &errors, nullptr);
  io_->eventPending = false;
  io_->eventsBroken = false;
  io_->writePending = false;
  io_->writing.clear();
  io_->readPending = false;
  io_->reading.resize(4096);
  charUs_ = line_.charUs();
  lineFreeAtUs_ = 0;
  return true;
}

bool Win32SerialPort::highBitFlow() const {
  return usesXonXoff(handshake_) && highBit_ && !receiveFlowBytes_;
}

// Frame, flow control and modem lines in one DCB, so that every change reaches the driver
// together with the rest.
bool Win32SerialPort::applyState() {
  if (!isOpen()) return true;
  if (!highBitFlow()) holdOutput(false);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(io_->handle, &dcb)) return false;
  const bool xon = usesXonXoff(handshake_);
  const bool rtsCts = usesRtsCts(handshake_);
  dcb.BaudRate = static_cast<DWORD>(line_.rate);
  dcb.ByteSize = static_cast<BYTE>(line_.dataBits);
  dcb.Parity = line_.parity == 'E' ? EVENPARITY : line_.parity == 'O' ? ODDPARITY : NOPARITY;
  dcb.StopBits = line_.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fBinary = TRUE;
  // A character with a parity error arrives as "?", where it stood, as from the comm control.
  dcb.fParity = line_.parity != 'N';
  dcb.fErrorChar = line_.parity != 'N';
  dcb.ErrorChar = '?';
  dcb.fNull = FALSE;  // NULs are dropped here, only when asked
  dcb.fAbortOnError = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutxCtsFlow = rtsCts;
  // Under RTS/CTS the driver drops RTS when our input fills; otherwise RTS follows RTSEnable.
  dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : rtsEnable_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  dcb.fDtrControl = dtrEnable_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fOutX = xon && !highBitFlow() && !receiveFlowBytes_;
  dcb.fInX = xon;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.XonChar = static_cast<char>(kDc1);
  dcb.XoffChar = static_cast<char>(kDc3);
  dcb.XonLim = kXonLimit;
  dcb.XoffLim = kXoffLimit;
  return SetCommState(io_->handle, &dcb) != 0;
}

void Win32SerialPort::setHandshaking(int mode) {
  handshake_ = mode;
  if (!applyState()) noteError(GetLastError());
}

void Win32SerialPort::setRtsEnable(bool on) {
  rtsEnable_ = on;
  if (!applyState()) noteError(GetLastError());
}

void Win32SerialPort::setDtrEnable(bool on) {
  dtrEnable_ = on;
  if (!applyState()) noteError(GetLastError());
}

void Win32SerialPort::setHighBitFlowControl(bool on) {
  highBit_ = on;
  if (!applyState()) noteError(GetLastError());
}

void Win32SerialPort::setReceiveFlowBytes(bool on) {
  receiveFlowBytes_ = on;
  if (!applyState()) noteError(GetLastError());
}

int Win32SerialPort::virtualRoom() const {
  const qint64 backlogUs = std::max<qint64>(0, lineFreeAtUs_ - nowUs());
  const qint64 backlog = (backlogUs + charUs_ - 1) / charUs_;
  return static_cast<int>(std::max<qint64>(0, kVirtualFifo - backlog));
}

qint64 Win32SerialPort::usUntilVirtualRoom() const {
  return std::max<qint64>(0, lineFreeAtUs_ - (kVirtualFifo - 1) * charUs_ - nowUs());
}

void Win32SerialPort::close() {
  if (isOpen()) {
    drainOutput();
    releaseDevice();
  }
  failure_.reset();
}

// Lets queued output leave before the port closes, so that a DC2 or DC4 written just before is
// not lost, but never waits without end while the far end holds the line.
void Win32SerialPort::drainOutput() {
  if (failure_) return;
  const qint64 pending = outQueue_.size() + pendingOutput();
  const qint64 deadline = nowMs() + closeGraceMs_ + pending * line_.frameBits() * 1000 / std::max(line_.rate, 1);
  while (!failure_) {
    if (highBitFlow()) pumpInput();
    flushOutput();
    if (outQueue_.isEmpty() && pendingOutput() <= 0) return;
    const int left = msLeft(deadline);
    if (left <= 0) return;
    int step = std::min(left, 50);
    if (!io_->writePending && !outQueue_.isEmpty() && !heldByUs_)
      step = std::min<qint64>(step, usUntilVirtualRoom() / 1000 + 1);
    else if (outQueue_.isEmpty() && !io_->writePending)
      step = std::min(step, kDrainStepMs);
    waitEvents(step);
  }
}

void Win32SerialPort::releaseDevice() {
  const HANDLE h = io_->handle;
  // Output still held by the far end after the drain: discard it, or closing would wait for it.
  PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
  if (heldByUs_) EscapeCommFunction(h, SETXON);
  SetCommMask(h, 0);  // ends an outstanding WaitCommEvent
  CancelIo(h);
  DWORD n = 0;
  if (io_->eventPending) GetOverlappedResult(h, &io_->eventOv, &n, TRUE);
  if (io_->writePending) GetOverlappedResult(h, &io_->writeOv, &n, TRUE);
  if (io_->readPending) GetOverlappedResult(h, &io_->readOv, &n, TRUE);
  CloseHandle(h);
  io_->handle = INVALID_HANDLE_VALUE;
  io_->eventPending = false;
  io_->writePending = false;
  io_->readPending = false;
  io_->writing.clear();
  outQueue_.clear();
  inBuffer_.clear();
  heldByUs_ = false;
}

int Win32SerialPort::pumpInput() {
  if (!isOpen() || failure_) return 0;
  int total = 0;
  for (;;) {
    DWORD n = 0;
    if (io_->readPending) {
      if (!GetOverlappedResult(io_->handle, &io_->readOv, &n, FALSE)) {
        const DWORD e = GetLastError();
        if (e != ERROR_IO_INCOMPLETE) {
          io_->readPending = false;
          noteError(e);
        }
        return total;  // nothing yet: the outstanding read stays
      }
      io_->readPending = false;
    } else {
      // The flow bytes must be seen even when nobody reads the input; data beyond the limit is
      // then dropped by takeInput.
      qsizetype room = io_->reading.size();
      if (!highBitFlow()) room = std::min(room, kInputLimit - inBuffer_.size());
      if (room <= 0) return total;
      ResetEvent(io_->readOv.hEvent);
      if (!ReadFile(io_->handle, io_->reading.data(), static_cast<DWORD>(room), &n, &io_->readOv)) {
        const DWORD e = GetLastError();
        if (e == ERROR_IO_PENDING) {
          io_->readPending = true;
          continue;  // it may have completed already
        }
        noteError(e);
        return total;
      }
    }
    if (n == 0) return total;
    total += static_cast<int>(n);
    takeInput(io_->reading.constData(), n);
  }
}

void Win32SerialPort::takeInput(const char* bytes, qsizetype count) {
  const bool flowHere = highBitFlow();
  for (qsizetype i = 0; i < count; ++i) {
    const auto byte = static_cast<quint8>(bytes[i]);
    if (byte == kNul && nullDiscard_) continue;
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

void Win32SerialPort::holdOutput(bool hold) {
  if (!isOpen() || hold == heldByUs_) return;
  // As if the driver had received XOFF (XON): what it holds stays until the release.
  if (!EscapeCommFunction(io_->handle, hold ? SETXOFF : SETXON)) {
    noteError(GetLastError());
    return;
  }
  heldByUs_ = hold;
  if (!hold) flushOutput();
}

void Win32SerialPort::finishWrite() {
  if (!io_->writePending) return;
  DWORD n = 0;
  if (GetOverlappedResult(io_->handle, &io_->writeOv, &n, FALSE)) {
    io_->writePending = false;
    // A write the driver ended early (a purge) leaves the rest to go again, in front.
    if (n < static_cast<DWORD>(io_->writing.size())) outQueue_.prepend(io_->writing.mid(n));
    io_->writing.clear();
    return;
  }
  const DWORD e = GetLastError();
  if (e == ERROR_IO_INCOMPLETE) return;
  io_->writePending = false;
  io_->writing.clear();
  noteError(e);
}

void Win32SerialPort::flushOutput() {
  if (!isOpen() || failure_) return;
  finishWrite();
  if (io_->writePending || heldByUs_ || outQueue_.isEmpty()) return;
  const qsizetype count = std::min<qsizetype>(outQueue_.size(), virtualRoom());
  if (count <= 0) return;
  io_->writing = outQueue_.left(count);
  outQueue_.remove(0, count);
  lineFreeAtUs_ = std::max(lineFreeAtUs_, nowUs()) + count * charUs_;
  ResetEvent(io_->writeOv.hEvent);
  DWORD n = 0;
  if (WriteFile(io_->handle, io_->writing.constData(), static_cast<DWORD>(count), &n, &io_->writeOv)) {
    if (n < static_cast<DWORD>(count)) outQueue_.prepend(io_->writing.mid(n));
    io_->writing.clear();
    return;
  }
  const DWORD e = GetLastError();
  if (e == ERROR_IO_PENDING) {
    io_->writePending = true;
    return;
  }
  io_->writing.clear();
  noteError(e);
}

int Win32SerialPort::driverQueued() {
  if (!isOpen() || failure_) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(io_->handle, &errors, &status)) {
    noteError(GetLastError());
    return 0;
  }
  if (errors & (CE_RXPARITY | CE_FRAME)) ++parityErrors_;
  return static_cast<int>(status.cbOutQue);
}

// What the driver has not sent: its queue, or the outstanding write where the driver does not
// count that in (Wine counts the terminal's queue only).
int Win32SerialPort::pendingOutput() {
  const int writing = io_->writePending ? static_cast<int>(io_->writing.size()) : 0;
  return std::max(writing, driverQueued());
}

bool Win32SerialPort::waitEvents(int timeoutMs) {
  if (timeoutMs <= 0) return false;
  if (!io_->eventPending && !io_->eventsBroken) {
    ResetEvent(io_->eventOv.hEvent);
    io_->eventMask = 0;
    if (WaitCommEvent(io_->handle, &io_->eventMask, &io_->eventOv)) return true;
    if (GetLastError() == ERROR_IO_PENDING) {
      io_->eventPending = true;
    } else {
      io_->eventsBroken = true;  // Wine: the outstanding read and write wake us instead
    }
  }
  HANDLE handles[3];
  DWORD count = 0;
  if (io_->eventPending) handles[count++] = io_->eventOv.hEvent;
  if (io_->writePending) handles[count++] = io_->writeOv.hEvent;
  if (io_->readPending) handles[count++] = io_->readOv.hEvent;
  if (count == 0) {
    // Nothing that could wake us (no port events, input full): look again after a short step.
    sleepMs(std::min(timeoutMs, kDrainStepMs));
    return false;
  }
  const DWORD r = WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(timeoutMs));
  if (r == WAIT_TIMEOUT || r == WAIT_FAILED || r >= WAIT_OBJECT_0 + count) return false;
  if (io_->eventPending && handles[r - WAIT_OBJECT_0] == io_->eventOv.hEvent) {
    DWORD n = 0;
    GetOverlappedResult(io_->handle, &io_->eventOv, &n, FALSE);
    io_->eventPending = false;
  }
  return true;
}

void Win32SerialPort::noteError(unsigned long error) {
  if (error == ERROR_SUCCESS || error == ERROR_IO_PENDING || error == ERROR_IO_INCOMPLETE) return;
  recordLoss(win32ErrorText(error));
}

void Win32SerialPort::recordLoss(const QString& reason) {
  if (failure_) return;
  outQueue_.clear();  // it can never leave
  failure_ = PortError{kErrDeviceLost,
                       QStringLiteral("ポートが使えなくなりました。ケーブルやUSBアダプタを確認してください (%1: %2)")
                           .arg(portLabel(), reason)};
}

bool Win32SerialPort::output(quint8 byte) {
  if (!isOpen() || failure_ || outQueue_.size() >= kOutputLimit) return false;
  if (highBitFlow()) pumpInput();
  outQueue_.append(static_cast<char>(byte));
  flushOutput();
  return !failure_;
}

int Win32SerialPort::outBufferCount() {
  if (!isOpen()) return 0;
  if (highBitFlow()) pumpInput();
  flushOutput();
  return static_cast<int>(outQueue_.size()) + pendingOutput();
}

int Win32SerialPort::inBufferCount() {
  pumpInput();
  return static_cast<int>(inBuffer_.size());
}

QByteArray Win32SerialPort::input() {
  pumpInput();
  return std::exchange(inBuffer_, QByteArray());
}

bool Win32SerialPort::modemLine(unsigned long bit) {
  if (!isOpen() || failure_) return false;
  // A port without modem lines (a pseudo-terminal behind Wine) counts as always ready.
  if (noModemLines_) return true;
  DWORD status = 0;
  if (GetCommModemStatus(io_->handle, &status)) return (status & bit) != 0;
  noModemLines_ = true;
  return true;
}

bool Win32SerialPort::dsrHolding() { return modemLine(MS_DSR_ON); }

bool Win32SerialPort::cdHolding() { return modemLine(MS_RLSD_ON); }

// On a closed or failed port both waits sleep out their time, so that a caller polling in a
// loop never spins.
void Win32SerialPort::waitForInput(int timeoutMs) {
  if (!isOpen() || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  pumpInput();
  while (inBuffer_.isEmpty() && !failure_) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    const bool woke = waitEvents(left);
    // Output events wake us too; a wake-up without input must not turn into a busy loop.
    if (pumpInput() == 0 && woke) sleepMs(std::min(msLeft(deadline), kDrainStepMs));
  }
}

void Win32SerialPort::waitForOutput(int timeoutMs) {
  if (!isOpen() || failure_) {
    sleepMs(timeoutMs);
    return;
  }
  const qint64 deadline = nowMs() + std::max(timeoutMs, 0);
  if (highBitFlow()) pumpInput();
  flushOutput();
  const qsizetype before = outQueue_.size() + (io_->writePending ? io_->writing.size() : 0);
  if (before > 0) {
    while (!failure_ && outQueue_.size() + (io_->writePending ? io_->writing.size() : 0) >= before) {
      const int left = msLeft(deadline);
      if (left <= 0) return;
      int step = left;
      // The emulated line is busy: sleep until a character has left it, still seeing the far
      // end's DC3/DC1 and the write's completion at once.
      if (!io_->writePending && !heldByUs_ && !outQueue_.isEmpty())
        step = static_cast<int>(std::min<qint64>(left, usUntilVirtualRoom() / 1000 + 1));
      const bool woke = waitEvents(step);
      const int taken = highBitFlow() ? pumpInput() : 0;
      flushOutput();
      if (woke && taken == 0 && !io_->writePending && outQueue_.size() >= before) sleepMs(std::min(msLeft(deadline), kDrainStepMs));
    }
    return;
  }
  // Our queue is empty; the driver reports its own queue emptying (EV_TXEMPTY), and is looked at
  // in short steps besides, since not every driver does.
  int queued = driverQueued();
  while (queued > 0 && !failure_) {
    const int left = msLeft(deadline);
    if (left <= 0) return;
    waitEvents(std::min(left, kDrainStepMs));
    if (highBitFlow()) pumpInput();
    const int now = driverQueued();
    if (now < queued) return;
    queued = now;
  }
}

}  // namespace korvane
