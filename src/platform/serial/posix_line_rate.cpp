#include "platform/serial/posix_line_rate.h"

#include <cerrno>

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace korvane {

#ifdef __linux__

int setCustomLineRate(int fd, int rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

int currentLineRate(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  return static_cast<int>(t.c_ospeed);
}

#else

int setCustomLineRate(int, int) { return ENOTSUP; }

int currentLineRate(int fd) {
  struct termios t {};
  if (tcgetattr(fd, &t) != 0) return -1;
  // BSD and macOS keep the rate itself in the speed field.
  return static_cast<int>(cfgetospeed(&t));
}

#endif

}  // namespace korvane
