#pragma once
// Copies the main program into the output with every M98 call expanded. Internal to the DNC
// conversion.
//
// The copy of a body and the expansion of a call inside it nest without limit in the data, so
// they are driven from an explicit stack of frames instead of the call stack: a deep chain of
// subprograms cannot overflow it. Each frame reads from its own position, and the end mark of
// the data ends only the copy whose read met it.

#include <QByteArrayView>
#include <QString>
#include <set>
#include <vector>

#include "analysis/dnc_converter.h"
#include "analysis/dnc_line_reader.h"
#include "analysis/program_index.h"

namespace korvane {

// Where the lines of the flat program go. Each line is written followed by CR LF.
class DncLineSink {
 public:
  virtual ~DncLineSink() = default;
  virtual bool writeLine(QByteArrayView line) = 0;  // false on a write error
};

class DncExpander {
 public:
  enum class End { Done, Cancelled, Recursion, WriteError };

  DncExpander(QByteArrayView data, const ProgramIndex& index, DncLineSink& sink, const DncHooks& hooks,
              DncResult& result);

  End run();

 private:
  struct Frame {
    bool main = false;
    double program = 0;        // the subprogram number whose body this frame copies
    qint64 bodyStart = 0;      // the line after its O line
    qint64 repeatsLeft = 0;    // repetitions still to come after the current one
    qint64 position = 0;       // this copy's read position
    bool callLineLast = false;  // the call line that started it carried the end mark
  };

  enum class Call { Expanding, Resolved, Unresolved, Recursion };

  Call expandCall(const DncLineText& call, const DncLine& line);
  // The current round of the top frame ended with a line that carried the end mark (or not).
  void roundEnded(bool last);
  // The top body frame met its M99 or the end of the data: start its next repetition or pop it.
  // Returns whether the popped frame's call line carried the end mark.
  bool repetitionEnded();
  void addConverted(double program);
  bool pollCancel();
  QString recursionMessage(double program) const;

  DncLineReader reader_;
  const ProgramIndex& index_;
  DncLineSink& sink_;
  const DncHooks& hooks_;
  DncResult& result_;
  std::vector<Frame> frames_;
  std::set<double> expanding_;  // programs whose body is being copied, to catch a call of itself
  quint64 rounds_ = 0;
};

}  // namespace korvane
