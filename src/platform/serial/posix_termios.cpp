#include "platform/serial/posix_termios.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>

#include "platform/serial/posix_line_rate.h"

namespace korvane {

namespace {

struct RateConstant {
  int rate;
  speed_t constant;
};

constexpr RateConstant kRateConstants[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool rateConstant(int rate, speed_t* constant) {
  for (const RateConstant& r : kRateConstants) {
    if (r.rate == rate) {
      *constant = r.constant;
      return true;
    }
  }
  return false;
}

tcflag_t sizeFlag(int dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

// A driver may accept tcsetattr and still run another frame or rate (tcsetattr succeeds when any
// part of the request was taken), so the result is read back.
bool driverTookFrame(int fd, const termios& wanted, int rate) {
  termios now{};
  if (tcgetattr(fd, &now) != 0) return false;
  const bool hasFrame = !isPseudoTerminal(fd);
  const tcflag_t frameBits = CSIZE | PARENB | PARODD | CSTOPB;
  if (hasFrame && (now.c_cflag & frameBits) != (wanted.c_cflag & frameBits)) return false;
  const int actual = currentLineRate(fd);
  // Adapters round to the nearest rate their clock divides to; a UART tolerates about 3 %.
  return actual > 0 && std::abs(actual - rate) * 100 <= rate * 3;
}

}  // namespace

bool isPseudoTerminal(int fd) {
  int lines = 0;
  if (ioctl(fd, TIOCMGET, &lines) != 0 && errno == ENOTTY) return true;
  // Unix98 pseudo-terminal slaves have the majors 136 to 143, whatever modem ioctls they answer.
  struct stat device {};
  return fstat(fd, &device) == 0 && S_ISCHR(device.st_mode) && major(device.st_rdev) >= 136 &&
         major(device.st_rdev) <= 143;
}

termios lineTermios(const termios& base, const LineSettings& line, bool* standardRate) {
  termios t = base;
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK);
  t.c_iflag |= IGNBRK;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
  t.c_cflag &= ~CRTSCTS;
#endif
#ifdef CMSPAR
  t.c_cflag &= ~CMSPAR;
#endif
  t.c_cflag |= sizeFlag(line.dataBits) | CLOCAL | CREAD;
  if (line.parity != 'N') {
    t.c_cflag |= PARENB;
    // The driver checks parity and marks a failed character (0xFF 0x00 and the character)
    // instead of handing it on as if it were good.
    t.c_iflag |= INPCK | PARMRK;
  }
  if (line.parity == 'O') t.c_cflag |= PARODD;
  if (line.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  speed_t constant = 0;
  *standardRate = rateConstant(line.rate, &constant) && cfsetispeed(&t, constant) == 0 && cfsetospeed(&t, constant) == 0;
  return t;
}

int applyLineFrame(int fd, const LineSettings& line) {
  termios base{};
  if (tcgetattr(fd, &base) != 0) return errno;
  bool standard = false;
  const termios t = lineTermios(base, line, &standard);
  if (tcsetattr(fd, TCSANOW, &t) != 0) return errno;
  if (!standard) {
    if (const int error = setCustomLineRate(fd, line.rate)) return error;
  }
  return driverTookFrame(fd, t, line.rate) ? 0 : EINVAL;
}

int applyFlowFlags(int fd, const FlowFlags& flags) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return errno;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flags.holdOnXoff) t.c_iflag |= IXON;
  if (flags.sendXoff) t.c_iflag |= IXOFF;
#ifdef CRTSCTS
  t.c_cflag &= ~CRTSCTS;
  if (flags.rtsCts) t.c_cflag |= CRTSCTS;
#else
  if (flags.rtsCts) return ENOTSUP;
#endif
  return tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : errno;
}

}  // namespace korvane
