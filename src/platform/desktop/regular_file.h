#pragma once
// A program file chosen in the list (to send, to measure, to convert) is read to its end: a FIFO
// would block the reader in its open, a device such as /dev/zero would never end. Such a file is
// refused before it is opened, as a file that cannot be opened is.

#include <QString>

namespace korvane {

// Empty for a regular file (or a link to one, or one that does not exist: its open says why);
// otherwise why it is no program file.
QString regularFileProblem(const QString& path);

}  // namespace korvane
