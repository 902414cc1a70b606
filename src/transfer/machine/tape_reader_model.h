#pragma once
// The simulated machine's tape reader interface without the terminal: bytes arrive with their
// arrival time, wait in a receive buffer, and are taken from it no faster than the line's
// character rate (or a slower drip-feed rate). Under XON/XOFF it decides when to write DC3 and
// DC1, and it keeps the counts an operator would look at: overruns, parity errors, starvation,
// and how quickly the sender obeyed DC3 and DC1.
//
// Times are milliseconds on one monotonic scale chosen by the caller.

#include <QByteArray>
#include <deque>

#include "transfer/machine/new_tape_watch.h"
#include "transfer/machine/tape_decoder.h"

namespace korvane {

// Characters a reader keeps free below full when it raises DC3 unless told otherwise.
inline constexpr int kDefaultReaderMargin = 32;

struct ReaderConfig {
  TapeCode code = TapeCode::Iso;
  MachineFrame frame;
  int baud = 9600;          // 0: no line rate, the reader takes whatever comes at once
  int bufferSize = 0;       // 0: an ideal reader with an endless buffer and no flow control
  bool xonXoff = true;      // with a buffer: DC3 at high water, DC1 at low water
  double consumeCps = 0;    // drip feed while executing; 0: as fast as the line rate
  int margin = kDefaultReaderMargin;  // room kept free when DC3 goes out

  // The rate at which the reader takes characters; 0 when unlimited.
  double takeRate() const;
  // DC3 when the buffer holds this many characters: the margin below full, as a real reader
  // keeps room for what a sender still sends after DC3 (at most half of a small buffer).
  int highWater() const;
  // The margin in force: at least one character, at most half the buffer.
  int effectiveMargin() const;
  // DC1 when the buffer has drained to this level: half the buffer, so a sender has the time
  // of half a buffer of characters to resume before the reader runs dry.
  int lowWater() const;
};

// Characters a sender may still send after DC3 before they count as overruns.
inline constexpr int kDc3Allowance = 10;
// Milliseconds after DC3 from which an arriving byte counts as a late reaction.
inline constexpr double kDc3LateMs = 10.0;
// How long the reader must have wanted a character from an empty buffer before it counts as
// starvation: two character times, and at least 10 ms, so that the scheduling jitter of a sender
// that keeps pace with the line does not count, while a sender that stalls does. A control
// executing a program looks several blocks ahead, so a gap this short stops no axis.
inline constexpr double kStarvationGraceSlots = 2.0;
inline constexpr double kStarvationGraceMs = 10.0;

struct ReaderStats {
  qint64 characters = 0;       // bytes that arrived
  qint64 taken = 0;            // bytes the reader took from its buffer
  qint64 overruns = 0;         // more than kDc3Allowance after DC3, or no room in the buffer
  qint64 lost = 0;             // of the overruns: no room in the buffer, so the byte is gone
  qint64 bytesAfterDc3 = 0;    // arrived while held by DC3
  qint64 bytesAfterDc3Late = 0;  // of those: more than kDc3LateMs after the DC3
  int maxBytesAfterDc3 = 0;    // most in one hold
  int dc3Sent = 0;
  int dc1Sent = 0;
  int resumeSamples = 0;       // DC1s followed by a byte the sender still owed
  double maxResumeLatencyMs = 0;
  int maxBufferLevel = 0;
  int starvations = 0;
  double starvationMs = 0;
  double firstArrivalMs = -1;
  double lastTakeMs = -1;
  double executingMs = 0;      // from each program's first character to its closing "%", taken
  qint64 executedCharacters = 0;
};

class TapeReaderModel {
 public:
  explicit TapeReaderModel(const ReaderConfig& config);

  // Bytes read from the line at nowMs. Returns the flow-control bytes to write at once.
  QByteArray receive(const QByteArray& bytes, double nowMs);
  // Lets time pass: the reader takes characters. Returns the flow-control bytes to write.
  QByteArray advance(double nowMs);
  // When advance should next be called, or a negative value when nothing is due until more
  // bytes arrive.
  double nextEventMs() const;
  // End of the session: the reader takes what its buffer still holds.
  void finish(double nowMs);

  QList<ReceivedProgram> takePrograms() { return decoder_.takePrograms(); }
  const TapeDecoder& decoder() const { return decoder_; }
  const ReaderStats& stats() const { return stats_; }
  const ReaderConfig& config() const { return config_; }
  int bufferLevel() const { return int(buffer_.size()); }
  bool holding() const { return holding_; }
  bool inProgram() const { return arrival_.inProgram(); }

 private:
  void takeUntil(double nowMs);
  void takeOne(double atMs);
  void endWait();
  // Character slots the reader must miss before starving: kStarvationGraceSlots or
  // kStarvationGraceMs, whichever is longer.
  double graceSlots() const;
  // The time one character occupies the reader: the window of the first one counts too.
  double characterMs() const { return rate_ > 0 ? 1.0 / rate_ : 0.0; }

  ReaderConfig config_;
  double rate_;  // characters per ms; 0 unlimited
  int highWater_;
  int lowWater_;
  TapeFrameReader frames_;
  ProgramPhase arrival_;
  TapeDecoder decoder_;
  struct Slot {
    quint8 byte;
    bool newTape;  // the "%" of a new tape: the program still open is cut off before it
  };
  std::deque<Slot> buffer_;
  NewTapeWatch newTape_;
  double credit_ = 1.0;  // characters the reader could have taken and has not: ready for one
  double lastTickMs_ = 0;
  bool started_ = false;
  bool holding_ = false;
  double dc3Ms_ = 0;
  int afterDc3_ = 0;
  bool resumeOwed_ = false;
  double dc1Ms_ = 0;
  bool starvationCounted_ = false;
  double executingSinceMs_ = 0;
  qint64 executingCharacters_ = 0;
  ReaderStats stats_;
};

}  // namespace korvane
