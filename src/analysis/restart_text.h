#pragma once
// The words a restart header writes, in the program's own units, always with a decimal point so
// that a control reads them alike with or without calculator-type input; and where in a block
// words can be put in front of what it holds.

#include <QByteArray>
#include <QByteArrayView>

namespace korvane::restart_text {

// A length in millimetres as the program writes it: in inches under G20, "10." "-0.254".
QByteArray length(double millimetres, bool inch);
// A value written without needless digits: "300", "0.25", "1200".
QByteArray plain(double value);
// A T word's number with the digits it was written with: T05, T0101.
QByteArray toolNumber(double value, int digits);
// The line end the file uses first: CR LF, LF or CR (CR LF for a file without any).
QByteArray lineEndOf(QByteArrayView program);
// The length of the line end at `at` (0 at the end of the bytes or when none starts there).
int lineEndLengthAt(QByteArrayView program, qsizetype at);
// Where words can go in front of a block's own: after leading blanks, a block delete "/" and its
// N number.
qsizetype wordsStartOf(QByteArrayView block);
// The block with `words` put in front of its own words.
QByteArray withWordsInFront(QByteArrayView block, const QByteArray& words);

}  // namespace korvane::restart_text
