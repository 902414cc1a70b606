#pragma once
// Line rates without a POSIX speed constant (14400, 28800, 56000, 128000, 256000 and the like).
// Linux sets any rate through termios2 with BOTHER; the kernel headers that define termios2
// clash with <termios.h>, so this lives in a translation unit of its own.

namespace korvane {

// Sets the input and output rate of the terminal at fd to rate, leaving every other flag as it
// is. Returns 0 or an errno value (ENOTSUP where the system has no way to do it).
int setCustomLineRate(int fd, int rate);

// The output rate the driver actually uses, or -1 when it cannot be read. On a pseudo-terminal
// master this is the rate of its slave.
int currentLineRate(int fd);

}  // namespace korvane
