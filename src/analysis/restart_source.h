#pragma once
// The program a restart is made from: the file as it is, or, where it calls subprograms with
// M98, the flat program the DNC conversion makes of it and the other files (the blocks are then
// numbered and chosen in that flat program, which is what the machine runs).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace korvane {

struct RestartSource {
  QByteArray bytes;
  QString displayName;  // the program's file name
  bool flattened = false;
};

// Whether a block of the program calls a subprogram: an M98 outside comments.
bool callsSubprograms(QByteArrayView bytes);

// The program of files.first(); its calls are looked up in all the files, in order, as the DNC
// conversion looks them up in the list. Nothing, with the reason in `error`, when a file cannot
// be read or the calls cannot be expanded (a program that calls itself). A call no file answers
// stays in the flat program as written, where the restart refuses it.
std::optional<RestartSource> loadRestartSource(const QStringList& files, QString* error);

}  // namespace korvane
