#pragma once
// Turning the program's arguments into rows of the file list.

#include <QString>
#include <QStringList>

namespace korvane {

// The rule for a raw, unsplit argument text (a Windows command line without the program name):
// the text is cut at every double quote; a piece that begins or ends with a blank is split into
// its words, any other piece is one name; finally every name is split at "/". Empty names give
// no row. So "C:\a b.nc" "C:\c d.nc" gives two rows, the unquoted C:\a.nc C:\b.nc one row, and
// "C:/nc/a.nc" the three rows C:, nc and a.nc.
QStringList rowsFromCommandLine(const QString& raw);

// The rule where the shell has already split and unquoted the arguments and "/" separates the
// folders of a path: every non-empty argument (program name excluded) is one row as it stands.
QStringList rowsFromArguments(const QStringList& arguments);

}  // namespace korvane
