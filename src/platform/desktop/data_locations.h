#pragma once
// Where the files that ship beside the programs are found once korvane is installed: the help
// pages ("help") and the sample programs ("samples") under share/korvane. A shop can put its own
// help in ~/.local/share/korvane/help or /usr/local/share/korvane/help; those come before the
// packaged copy in /usr/share/korvane/help.

#include <QString>
#include <QStringList>

namespace korvane {

// The folders searched for share/korvane/<name>, in order: every folder of the XDG data path
// (XDG_DATA_HOME, then XDG_DATA_DIRS, by default /usr/local/share and /usr/share), then the
// share folder beside the program's own bin folder (an installation under another prefix).
QStringList dataDirectoryCandidates(const QString& name);

// The first candidate folder that holds the file `marker` (for the help, its start page);
// empty when none does, as when the program runs from its build tree.
QString findDataDirectory(const QString& name, const QString& marker);

}  // namespace korvane
