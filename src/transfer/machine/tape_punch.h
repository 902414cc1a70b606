#pragma once
// The simulated machine's tape punch: the byte stream a control punches for its programs, and
// the session that sends it when the PC asks with DC1, at the line's character rate, holding
// on DC3 and going on at the next DC1.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "transfer/tape_code.h"

namespace korvane {

// NUL frames before and after the punched programs.
inline constexpr int kPunchFeedFrames = 20;
// Time the punch takes to start after the PC's DC1: the PC closes and reopens its port right
// after asking, and the first frames must not arrive while the port is shut.
inline constexpr double kPunchStartDelayMs = 100;

struct PunchStream {
  QByteArray bytes;
  int programs = 0;
  int dropped = 0;        // characters without a code under the punch's tape code
  QString droppedSample;  // the first few of them, for the operator
};

// The blocks of a program file: CRs removed, and without the "%" lines that frame it on tape,
// so that a file received from a tape punches the same tape again.
QStringList programBlocks(const QString& fileText);

// Feed, "%", end of block, the blocks of every program each closed by an end of block, "%",
// feed. Under ISO the end of block is LF (0x0A), under EIA 0x80.
PunchStream buildPunchStream(const QList<QStringList>& programs, TapeCode code);

class TapePunch {
 public:
  // charactersPerSecond 0: no line rate, everything at once.
  TapePunch(QByteArray stream, double charactersPerSecond, bool waitForRequest, double nowMs);

  // Bytes from the PC: DC1 (0x11, 0x91) starts a punch or goes on after DC3; DC3 (0x13, 0x93)
  // holds the punch.
  void receive(const QByteArray& bytes, double nowMs);
  // The bytes of the stream the line could have carried by nowMs and that are not yet out.
  QByteArray due(double nowMs) const;
  // The caller wrote count bytes of what due() gave.
  void sent(int count, double nowMs);
  // When the next byte falls due, or a negative value when the punch waits for the PC.
  double nextEventMs() const;

  bool punching() const { return state_ == State::Starting || state_ == State::Running; }
  int completedPunches() const { return completed_; }
  int dc1Received() const { return dc1_; }
  int dc3Received() const { return dc3_; }
  qint64 bytesSent() const { return bytesSent_; }
  double firstByteMs() const { return firstByteMs_; }
  double lastByteMs() const { return lastByteMs_; }

 private:
  enum class State { Waiting, Starting, Running, Held };
  void start(double atMs);

  QByteArray stream_;
  double ratePerMs_;
  State state_ = State::Waiting;
  qsizetype position_ = 0;
  double baseMs_ = 0;       // when the byte at basePosition_ was due
  qsizetype basePosition_ = 0;
  int completed_ = 0;
  int dc1_ = 0;
  int dc3_ = 0;
  qint64 bytesSent_ = 0;
  double firstByteMs_ = -1;
  double lastByteMs_ = -1;
};

}  // namespace korvane
