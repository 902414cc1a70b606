#pragma once
// One pass over the combined work data that serves two purposes: the duplicate check (every
// nonzero program number that repeats an earlier one, in order) and the index of program starts
// that lets a call find its subprogram without reading the data again.
//
// A call looks for the first line, in data order, whose O value equals the called number; a
// line without an O word counts as 0. The index keeps exactly that first line per value, so a
// lookup answers what reading the data from its start would have found.

#include <QByteArrayView>
#include <QString>
#include <map>
#include <optional>

namespace korvane {

class ProgramIndex {
 public:
  // Reads every line of data once.
  explicit ProgramIndex(QByteArrayView data);

  // The position of the line after the first line whose O value equals number, or empty when
  // no line has that value.
  std::optional<qint64> bodyStart(double number) const;

  // Each repeated nonzero program number as a line "  O<number>" ended by CR LF, in the order
  // the repeats occur; empty when no number repeats.
  const QString& duplicateReport() const { return duplicateReport_; }

 private:
  std::map<double, qint64> firstBody_;
  QString duplicateReport_;
};

// A program number as the conversion shows it: "O" and the number without leading zeros.
QString programLabel(double number);

}  // namespace korvane
