#pragma once
// The decoding side of the simulated machine's tape reader: the frames it takes from its buffer
// become programs. A program opens at the first "%" after the leader and ends at the next "%";
// each block that starts with a program number (O1234) after the program already has one
// starts the next program, as a control registers several programs read from one tape.

#include <QList>
#include <QString>
#include <QStringList>

#include "transfer/machine/tape_frame_reader.h"

namespace korvane {

struct ReceivedProgram {
  int index = 0;     // 1, 2, ... in the order the programs were read this session
  QString number;    // "O0001" (at least four digits), empty when no block names one
  QStringList blocks;
  bool complete = false;  // ended by "%" or by the next program; false when cut off

  // "%", the blocks, and the closing "%" when the program was complete; LF line ends.
  QString text() const;
  // O0001.nc, or prog-<index>.nc without a program number.
  QString fileName() const;
};

class TapeDecoder {
 public:
  TapeDecoder(TapeCode code, const MachineFrame& frame) : reader_(code, frame) {}

  // One frame the reader took from its buffer.
  void take(quint8 byte);
  // End of the session: a program still open is kept, marked incomplete.
  void finish();
  // A new tape begins with the next frame: a program still open is kept, marked incomplete, and
  // the next "%" opens the new one. The empty blocks at its end are the new tape's opening end
  // of block, not part of the broken program.
  void startNewTape() {
    while (inProgram_ && line_.isEmpty() && !current_.blocks.isEmpty() && current_.blocks.last().isEmpty())
      current_.blocks.removeLast();
    finish();
  }

  // Programs read since the last call.
  QList<ReceivedProgram> takePrograms();

  // Between the first program character and the closing "%", as the reader has taken them.
  bool executing() const { return phase_.executing(); }
  int parityErrors() const { return parityErrors_; }
  int unknownCodes() const { return unknownCodes_; }
  int programCharacters() const { return programCharacters_; }
  int programsRead() const { return nextIndex_ - 1; }
  int incompletePrograms() const { return incomplete_; }
  int transmissionsStarted() const { return dc2Count_; }
  int transmissionsEnded() const { return dc4Count_; }

 private:
  void endBlock();
  void startProgram();
  void endProgram(bool complete);

  TapeFrameReader reader_;
  ProgramPhase phase_;
  bool inProgram_ = false;
  ReceivedProgram current_;
  QString line_;
  QList<ReceivedProgram> done_;
  int nextIndex_ = 1;
  int parityErrors_ = 0;
  int unknownCodes_ = 0;
  int programCharacters_ = 0;
  int incomplete_ = 0;
  int dc2Count_ = 0;
  int dc4Count_ = 0;
};

// "O" and the number that starts a block ("O12" -> "O0012"), or empty when the block does not
// start with a program number. Blanks between the letter and the digits are allowed.
QString programNumberOf(const QString& block);

}  // namespace korvane
