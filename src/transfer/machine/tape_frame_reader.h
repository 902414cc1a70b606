#pragma once
// What one received tape frame means to a machine's reader: tape feed, a transmission control
// code, a parity error, an end of block, "%" or a program character. Shared by the reader's
// buffer side (what arrives) and its decoding side (what it takes), so both agree on every byte.

#include <QChar>

#include "transfer/machine/machine_frame.h"
#include "transfer/tape_code.h"

namespace korvane {

enum class TapeFrameKind {
  // Blank tape (NUL) or a deleted frame (all holes): readers skip it, inside a program too.
  // Under EIA the table would read a blank frame as a space, but within a program it is either
  // feed between files or a character EIA has no code for, and neither belongs in the program;
  // it is no parity fault either.
  Feed,
  StartReading,    // DC2
  EndReading,      // DC4
  FlowControl,     // DC1 or DC3 (ISO only; under EIA 0x13 is the digit 3)
  ParityError,     // wrong number of holes for the code
  Unknown,         // right parity, but the code has no character for it
  EndOfBlock,      // ISO LF, EIA 0x80
  CarriageReturn,  // ISO CR, part of an end of block
  Percent,         // program start and end
  Character,       // anything else: program text
};

struct TapeFrame {
  TapeFrameKind kind;
  QChar character;  // for Character
};

class TapeFrameReader {
 public:
  TapeFrameReader(TapeCode code, const MachineFrame& frame) : code_(code), frame_(frame) {}

  TapeFrame read(quint8 byte) const;
  TapeCode code() const { return code_; }

 private:
  bool parityOk(quint8 byte) const;

  TapeCode code_;
  MachineFrame frame_;
};

// Whether the frames seen so far stand inside a program: after its opening "%", and from its
// first program character on (ends of block and feed right after the "%" do not count) until
// its closing "%". Used on the arrival side to judge flow-control reactions and starvation.
class ProgramPhase {
 public:
  void see(TapeFrameKind kind);
  // The "%" of a new tape: a program opens, whatever was open before.
  void restart() { state_ = State::Opened; }
  bool inProgram() const { return state_ != State::Outside; }
  bool executing() const { return state_ == State::Executing; }

 private:
  enum class State { Outside, Opened, Executing };
  State state_ = State::Outside;
};

}  // namespace korvane
