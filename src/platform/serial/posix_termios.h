#pragma once
// termios set-up of an open serial device: raw bytes at a given frame, and the flow control
// flags that the driver carries out by itself.

#include <termios.h>

#include "platform/serial/line_settings.h"

namespace korvane {

// The terminal settings for line, built on base: raw mode (no echo, no line editing, no
// character translation, breaks ignored), the frame (with parity: checked, errors marked by
// PARMRK), receiver on, modem control lines ignored
// for opening, no flow control. The speed is set only when it has a POSIX constant
// (*standardRate tells); the others go through setCustomLineRate after tcsetattr.
termios lineTermios(const termios& base, const LineSettings& line, bool* standardRate);

// Raw mode (no echo, no line editing, no character translation, breaks ignored), the frame and
// speed of line, receiver on, modem control lines ignored for opening, no flow control yet.
// Returns 0 or an errno value; EINVAL also when the driver did not take the speed, or the frame
// when it is one that has a frame: a pseudo-terminal (no modem lines) forces 8 bits without
// parity whatever it is given, and carries every byte as it is anyway.
int applyLineFrame(int fd, const LineSettings& line);

// A pseudo-terminal: no modem lines, no line rate and no frame of its own.
bool isPseudoTerminal(int fd);

struct FlowFlags {
  bool holdOnXoff = false;    // IXON: received DC3 holds our output, DC1 releases it
  bool sendXoff = false;      // IXOFF: the driver sends DC3/DC1 when our input fills/drains
  bool rtsCts = false;        // CRTSCTS
};

// Applies the flow flags at once, leaving frame and speed alone. Returns 0 or an errno value.
int applyFlowFlags(int fd, const FlowFlags& flags);

}  // namespace korvane
