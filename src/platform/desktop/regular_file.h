#pragma once
// A program file chosen in the list (to send, to measure, to convert) is read to its end: a FIFO
// would block the reader in its open, a device such as /dev/zero would never end. Such a file is
// refused before it is opened, as a file that cannot be opened is.

#include <QFile>
#include <QString>

namespace korvane {

// Empty for a regular file (or a link to one, or one that does not exist: its open says why);
// otherwise why it is no program file.
QString regularFileProblem(const QString& path);

// Opens `file` (named already) for reading a program through, unbuffered; false with the reason
// in `error` for a file that is no regular file or cannot be opened.
bool openProgramFile(QFile& file, QString* error);

}  // namespace korvane
