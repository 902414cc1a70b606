#pragma once
// A block of a program as an operator names it: by its N number (N500), its line (line:120), the
// n-th tool change (tool:3: the first block after it, the new tool in the spindle) or a text it
// holds (text:G43 H05). The toolpath view, `plot --until` and the restart all take one.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "analysis/block_words.h"
#include "analysis/motion_observer.h"
#include "analysis/program_reading.h"

namespace korvane {

class BlockSelector {
 public:
  enum class Kind { Number, Line, ToolChange, Text };

  // "N500", "line:120" (a bare number is a line too), "tool:3", "text:STRING". Nothing, with
  // the reason in `error`, for anything else.
  static std::optional<BlockSelector> parse(const QString& text, QString* error);

  Kind kind() const { return kind_; }
  double number() const { return number_; }
  QString describe() const;

  // Whether a block read is the one named: its words, its place and its text (as in the file).
  // A tool change is told by the state the block finds, at block(); the others here.
  bool matchesRead(const BlockWords& words, const BlockPlace& place, QByteArrayView text) const;
  bool matchesState(const ModalState& state) const;

 private:
  Kind kind_ = Kind::Line;
  double number_ = 0;
  QByteArray text_;  // as the file holds it (UTF-8 or Shift-JIS: both are tried)
  QByteArray textCp932_;
};

}  // namespace korvane
