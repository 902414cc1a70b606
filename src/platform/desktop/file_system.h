#pragma once
// The few file operations whose form differs between POSIX and Windows, for the code that writes
// received programs to the disk.

#include <QString>

namespace korvane {

// Whether name (one path component) is short enough for the file system the folder is on.
bool fileNameFits(const QString& folder, const QString& name);
// Opens path for writing, created or emptied, in binary and not inherited by child programs.
// The descriptor, or -1 with errno set.
int openFileForWriting(const QString& path);
// Pushes the file's data to the disk: 0, or the errno of the failure. A device that cannot be
// synchronised counts as done.
int syncFileData(int fd);

}  // namespace korvane
