#pragma once
// Where a new tape begins while the reader still holds a program open. A sender that gave up in
// the middle of a program (no closing "%", no DC4) leaves the reader inside it; the next job's
// opening "%" would then close the broken program as if it were whole, and the new program
// would be read as text between programs. A "%" opens a new tape instead of closing the program
// when, since the program's last character, there came
//   - a leader: a run of feed frames (a few blank frames of EIA within a block are no leader), or
//   - a quiet line: a pause far longer than any the program itself had (the pauses while the
//     reader held the sender with DC3 do not count).
// DC2, the other mark of a new tape, ends an open program on its own.

#include "transfer/machine/tape_frame_reader.h"

namespace korvane {

// Feed frames in a row that make a leader: a centimetre of tape and a half.
inline constexpr int kLeaderFrames = 6;
// A pause before a "%" that counts as a quiet line at the least, and the factor over the longest
// pause within the program it must also exceed (a sender pacing every character by a long delay
// pauses that long everywhere).
inline constexpr double kQuietLineMs = 1500.0;
inline constexpr double kQuietLineFactor = 4.0;

class NewTapeWatch {
 public:
  // A frame arriving at nowMs; inProgram is the phase before it; resumedMs is when the reader
  // last released the sender with DC1 (negative: never). True when the frame is the "%" of a
  // new tape.
  bool startsNewTape(TapeFrameKind kind, bool inProgram, double nowMs, double resumedMs);

 private:
  void restart();

  double lastArrivalMs_ = -1;
  int feedRun_ = 0;
  bool leaderSinceCharacter_ = false;
  double longestPauseSinceCharacterMs_ = 0;
  double longestPauseInProgramMs_ = 0;
};

}  // namespace korvane
