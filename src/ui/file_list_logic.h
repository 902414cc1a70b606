#pragma once
// The decisions behind adding, inserting and deleting rows of the file list, kept apart from any
// dialog or widget so they can be checked directly: the open dialog's filter, how its answer
// becomes rows, which extension is learned into the file filter, where an inserted row goes.

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace korvane {

// Separator between a folder and a file name in a row.
#ifdef Q_OS_WIN
inline constexpr QChar kRowSeparator = QLatin1Char('\\');
#else
inline constexpr QChar kRowSeparator = QLatin1Char('/');
#endif

// "ＮＣデータ (<filter>)|<filter>|すべてのﾌｧｲﾙ (*.*)|*.*": description and patterns alternate.
QString dialogFilterText(const QString& fileFilter);

// The same filter as Qt file dialogs take it, one entry per description: the description as
// written, then the patterns Qt matches in parentheses, separated by blanks instead of ";", and
// "*.*" as "*", since on POSIX a name need not hold a dot to be a file
// ("すべてのﾌｧｲﾙ (*.*) (*)"). A dialog given kFilterDialogOptions shows the description only.
QStringList qtNameFilters(const QString& dialogFilterText);

// folder + separator + name for each name, in the given order; a folder that already ends with
// the separator (a root) gets no second one.
QStringList rowsFromDialogResult(const QString& folder, const QStringList& names);

// The classic multi-select answer: either one full path, or the folder followed by the file
// names, separated by NUL characters. Empty names are skipped.
QStringList rowsFromDialogFileName(const QString& fileName);

// Rows for the full paths an open dialog returned: one path stays exactly as returned; several
// paths of one folder become folder + separator + name.
QStringList rowsFromChosenPaths(const QStringList& paths);

// The folder part of a full path ("/" for a file at the root).
QString folderOfPath(const QString& path);

// The name of a file without its folder (the dialog's file title).
QString fileTitleOf(const QString& path);

// Looks for an extension in the last four characters of fileTitle ("x.nc" gives ".nc",
// "ab.h" gives ".h", "prog.nc12" nothing). When one is found it is returned, and ";*" + it is
// appended to fileFilter unless fileFilter already contains it (case-sensitive).
std::optional<QString> learnExtension(const QString& fileTitle, QString& fileFilter);

// Position of the first selected row, or the number of rows when none is selected.
int insertPosition(const QList<bool>& selected);

// Positions of the selected rows, from the bottom up, so removing them one by one in this order
// leaves the positions still to come valid.
QList<int> rowsToDelete(const QList<bool>& selected);

}  // namespace korvane
