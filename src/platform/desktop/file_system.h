#pragma once
// The few file operations whose form differs between POSIX and Windows, for the code that writes
// received programs to the disk and hands programs out of a folder.

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

// Gives the file at from the name to. Without replace it fails when anything is at to already
// (a file, a folder, a link that leads nowhere); with replace, a file there is replaced in one
// step. Empty, or the system's reason.
QString renameFile(const QString& from, const QString& to, bool replace);

// Why a file of a folder is no program to read out of it.
struct FolderFileRefusal {
  enum class Kind {
    OutsideFolder,   // a link that leads out of the folder; detail: where it leads
    NotRegularFile,  // a FIFO, a device, a socket, a folder, or a link where links are not followed; detail: which
    Unreadable,      // detail: the system's reason
  };
  Kind kind = Kind::Unreadable;
  QString detail;
};

// Opens path for reading when it is a regular file whose real path lies inside folder. Nothing
// else is opened at all, and what was opened is looked at again before it is handed back, so a
// FIFO never blocks the caller, a device is never read and a name swapped for a link in between
// is caught. The descriptor (binary, not inherited), or -1 with *refusal.
int openRegularFileInFolder(const QString& folder, const QString& path, FolderFileRefusal* refusal);

}  // namespace korvane
