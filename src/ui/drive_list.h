#pragma once
// The "drives" of the folder chooser on a POSIX system: the file-system root, the user's home and
// the mounted volumes a user keeps files on, and which of them holds a given folder.

#include <QByteArray>
#include <QList>
#include <QString>

namespace korvane {

struct DriveEntry {
  QString root;  // absolute, clean; "/" for the file-system root
  QString text;  // what the drive list shows
};

// Whether a mount is a volume for files rather than a kernel, device or memory file system.
// Memory-backed volumes (tmpfs, ramfs) are left out: what is received there is gone at the next
// start, and they are many (/run, /dev/shm, per-user runtime folders).
bool isUserVolume(const QString& rootPath, const QByteArray& fileSystemType);

// "/", the user's home, then the user volumes ordered by path; no root twice.
QList<DriveEntry> systemDrives();

// True when path is root itself or lies below it (whole path components: /data2 is not within
// /data). Both are absolute, clean paths.
bool pathIsWithin(const QString& path, const QString& root);

// The drive with the longest root that holds path; -1 when none does.
int driveContaining(const QList<DriveEntry>& drives, const QString& path);

// The folder itself when it exists, otherwise its nearest existing ancestor, never going above
// root (root itself when nothing below it exists).
QString nearestExistingFolder(const QString& folder, const QString& root);

// A folder whose listing can be read: it exists, is a folder and may be read and entered.
bool folderIsReadable(const QString& folder);

}  // namespace korvane
