#pragma once
// What a UART with parity checking hands the reader, built from the bytes a device gives us.
//
// A pseudo-terminal carries bytes of 8 bits and knows no frame. On a 7-bit frame the byte's bit 7
// stands for the parity bit, and it is checked and removed here as the UART would. A real port
// checks parity in the driver and marks a failed character (PARMRK: 0xFF 0x00 and the
// character; a received 0xFF comes as 0xFF 0xFF); the marks are read here.
//
// A character with a parity error becomes "?" (0x3F), the replacement character of the classic
// comm control, so the fault shows in the data where it happened instead of vanishing, and it
// is counted so that the operator can be told.

#include <QByteArray>

namespace korvane {

inline constexpr quint8 kParityReplacement = 0x3F;

class ReceivedFrames {
 public:
  enum class Mode {
    Plain,        // bytes as they are: 8 bits, or a frame without parity on a real port
    SevenBitPty,  // a 7-bit frame emulated on a pseudo-terminal: bit 7 is the parity bit
    Marked,       // a real port with parity checking: the driver marks errors
  };

  void reset(Mode mode, char parity) {
    mode_ = mode;
    parity_ = parity;
    markState_ = 0;
    parityErrors_ = 0;
  }
  Mode mode() const { return mode_; }

  // Appends what the reader gets from the device's bytes to out.
  void take(const char* bytes, qsizetype count, QByteArray& out);
  int parityErrors() const { return parityErrors_; }

 private:
  Mode mode_ = Mode::Plain;
  char parity_ = 'N';
  int markState_ = 0;  // Marked: 1 after 0xFF, 2 after 0xFF 0x00
  int parityErrors_ = 0;
};

}  // namespace korvane
