#include "transfer/machine/new_tape_watch.h"

#include <algorithm>

namespace korvane {

void NewTapeWatch::restart() {
  feedRun_ = 0;
  leaderSinceCharacter_ = false;
  longestPauseSinceCharacterMs_ = 0;
  longestPauseInProgramMs_ = 0;
}

bool NewTapeWatch::startsNewTape(TapeFrameKind kind, bool inProgram, double nowMs, double resumedMs) {
  const double from = std::max(lastArrivalMs_, resumedMs);
  const double pause = lastArrivalMs_ < 0 ? 0.0 : std::max(0.0, nowMs - from);
  lastArrivalMs_ = nowMs;
  if (!inProgram) {
    restart();
    return false;
  }
  longestPauseSinceCharacterMs_ = std::max(longestPauseSinceCharacterMs_, pause);
  feedRun_ = kind == TapeFrameKind::Feed ? feedRun_ + 1 : 0;
  if (feedRun_ >= kLeaderFrames) leaderSinceCharacter_ = true;
  switch (kind) {
    case TapeFrameKind::Percent: {
      const bool quiet = longestPauseSinceCharacterMs_ >
                         std::max(kQuietLineMs, kQuietLineFactor * longestPauseInProgramMs_);
      const bool newTape = leaderSinceCharacter_ || quiet;
      restart();
      return newTape;
    }
    case TapeFrameKind::Character:
      longestPauseInProgramMs_ = std::max(longestPauseInProgramMs_, longestPauseSinceCharacterMs_);
      longestPauseSinceCharacterMs_ = 0;
      leaderSinceCharacter_ = false;
      return false;
    case TapeFrameKind::StartReading:
    case TapeFrameKind::EndReading:
      restart();
      return false;
    default:
      return false;
  }
}

}  // namespace korvane
