#include "analysis/dnc_expander.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane {

namespace {

// The indentation of a converted entry grows by two blanks per nesting level up to this width.
constexpr qsizetype kMaxIndent = 23;
// Long bodies without calls still let the window breathe and see a cancel this often.
constexpr quint64 kRoundsPerPoll = 4096;

// How often a call's body is repeated: an absent L or L0 means once; otherwise a count from 1 up
// to L, so a fraction is cut off and a value below 1 repeats nothing.
qint64 repetitions(double v) {
  if (v == 0.0) return 1;
  if (!(v >= 1.0)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<qint64>::max())) return std::numeric_limits<qint64>::max();
  return static_cast<qint64>(std::floor(v));
}

}  // namespace

DncExpander::DncExpander(QByteArrayView data, const ProgramIndex& index, DncLineSink& sink, const DncHooks& hooks,
                         DncResult& result)
    : reader_(data), index_(index), sink_(sink), hooks_(hooks), result_(result) {}

DncExpander::End DncExpander::run() {
  static const QByteArrayView kPercent("%");
  frames_.clear();
  expanding_.clear();
  frames_.push_back(Frame{.main = true});
  while (!frames_.empty()) {
    if (++rounds_ % kRoundsPerPoll == 0 && pollCancel()) return End::Cancelled;
    const bool main = frames_.back().main;
    const DncLine line = reader_.read(frames_.back().position);
    const DncLineText text(line.bytes);
    const BlockWords& words = text.words();

    if (words.is(BlockWords::kCall)) {
      if (pollCancel()) return End::Cancelled;
      switch (expandCall(text, line)) {
        case Call::Expanding: continue;  // the rounds of the new body come next
        case Call::Recursion: return End::Recursion;
        case Call::Unresolved:
          if (!sink_.writeLine(line.bytes)) return End::WriteError;
          break;
        case Call::Resolved: break;  // found, but repeated zero times
      }
      roundEnded(line.last);
    } else if (main && words.is(BlockWords::kProgramEnd)) {
      if (!sink_.writeLine(line.bytes) || !sink_.writeLine(kPercent)) return End::WriteError;
      frames_.pop_back();
    } else if (!main && words.is(BlockWords::kSubprogramEnd)) {
      roundEnded(repetitionEnded());  // the M99 line itself is not written
    } else {
      if (!sink_.writeLine(line.bytes)) return End::WriteError;
      roundEnded(line.last);
    }
  }
  return End::Done;
}

DncExpander::Call DncExpander::expandCall(const DncLineText& call, const DncLine& line) {
  const BlockWords& words = call.words();
  double program = words.number(Address::P);
  qint64 times = 1;
  if (words.has(Address::L)) {
    times = repetitions(words.number(Address::L));
  } else if (words.pDigits >= 5 && words.pDigits <= 8 && !index_.bodyStart(program) && program >= 0) {
    // P of five to eight digits and no L: the last four digits name the program, those before
    // them count the repetitions (none written: once), unless a program has the full number.
    times = std::max<qint64>(1, static_cast<qint64>(std::floor(program / 10000)));
    program = std::fmod(std::floor(program), 10000);
  }
  // A call line seen before as unresolved is unresolved again: the index answers that as fast as
  // a look into the unconverted list would. A P that is no number (a macro variable) calls
  // nothing that can be found here.
  const std::optional<qint64> start = words.has(Address::P) ? index_.bodyStart(program) : std::nullopt;
  if (!start) {
    result_.unconverted << call.text();
    if (hooks_.unconvertedAdded) hooks_.unconvertedAdded(result_.unconverted.constLast());
    return Call::Unresolved;
  }
  if (times == 0) return Call::Resolved;
  if (expanding_.count(program) != 0) {
    result_.message = recursionMessage(program);
    return Call::Recursion;
  }
  expanding_.insert(program);
  frames_.push_back(Frame{false, program, *start, times - 1, *start, line.last});
  addConverted(program);
  return Call::Expanding;
}

void DncExpander::roundEnded(bool last) {
  // The end of the data ends the copy whose read met it; when that copy was a body, the round of
  // the call that started it is over as well, and that call line's own end mark decides whether
  // its copy goes on.
  while (last && !frames_.empty()) {
    if (frames_.back().main) {
      frames_.pop_back();  // the data ran out before an M30 or M99: no "%" follows
      return;
    }
    last = repetitionEnded();
  }
}

bool DncExpander::repetitionEnded() {
  Frame& frame = frames_.back();
  if (frame.repeatsLeft > 0) {
    --frame.repeatsLeft;
    frame.position = frame.bodyStart;
    addConverted(frame.program);
    return false;
  }
  const bool callLineLast = frame.callLineLast;
  expanding_.erase(frame.program);
  frames_.pop_back();
  return callLineLast;
}

void DncExpander::addConverted(double program) {
  const qsizetype depth = static_cast<qsizetype>(frames_.size()) - 1;  // body frames above the main copy
  result_.converted << QString(std::min(2 * depth, kMaxIndent), QLatin1Char(' ')) + programLabel(program);
  if (hooks_.convertedAdded) hooks_.convertedAdded(result_.converted.constLast());
}

bool DncExpander::pollCancel() {
  if (hooks_.serveEvents) hooks_.serveEvents();
  return hooks_.cancelRequested && hooks_.cancelRequested();
}

QString DncExpander::recursionMessage(double program) const {
  QStringList chain;
  bool inCycle = false;
  for (const Frame& frame : frames_) {
    if (frame.main) continue;
    inCycle = inCycle || frame.program == program;
    if (inCycle) chain << programLabel(frame.program);
  }
  chain << programLabel(program);
  return QStringLiteral("サブプログラムが自分自身を呼び出しているため変換できません\r\n%1")
      .arg(chain.join(QStringLiteral(" → ")));
}

}  // namespace korvane
