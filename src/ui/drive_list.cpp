#include "ui/drive_list.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace korvane {

namespace {

const QByteArrayList kSystemFileSystems = {
    "proc",   "sysfs",      "devtmpfs",   "devpts",  "tmpfs",    "ramfs",     "cgroup",   "cgroup2",
    "pstore", "securityfs", "debugfs",    "tracefs", "bpf",      "configfs",  "fusectl",  "mqueue",
    "autofs", "hugetlbfs",  "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",  "squashfs", "overlay",
    "fuse.gvfsd-fuse", "fuse.portal"};

// Mount points under these belong to the system, except removable media that udisks mounts
// below /run/media.
const QStringList kSystemFolders = {QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"),
                                    QStringLiteral("/run"), QStringLiteral("/snap"), QStringLiteral("/boot")};

QString volumeText(const QStorageInfo& volume) {
  const QString label = volume.name();
  if (label.isEmpty() || label == volume.rootPath()) return volume.rootPath();
  return volume.rootPath() + QStringLiteral("  [") + label + QLatin1Char(']');
}

}  // namespace

bool pathIsWithin(const QString& path, const QString& root) {
  if (root == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
  return path == root || path.startsWith(root + QLatin1Char('/'));
}

bool isUserVolume(const QString& rootPath, const QByteArray& fileSystemType) {
  if (kSystemFileSystems.contains(fileSystemType)) return false;
  if (pathIsWithin(rootPath, QStringLiteral("/run/media"))) return true;
  return std::none_of(kSystemFolders.begin(), kSystemFolders.end(),
                      [&](const QString& folder) { return pathIsWithin(rootPath, folder); });
}

QList<DriveEntry> systemDrives() {
  QList<DriveEntry> drives;
  drives.append({QStringLiteral("/"), QStringLiteral("/")});
  const QString home = QDir::cleanPath(QDir::homePath());
  if (home != QLatin1String("/")) drives.append({home, home + QStringLiteral("  [~]")});

  QList<DriveEntry> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString root = QDir::cleanPath(volume.rootPath());
    if (!isUserVolume(root, volume.fileSystemType())) continue;
    const bool known = std::any_of(drives.begin(), drives.end(), [&](const DriveEntry& d) { return d.root == root; }) ||
                       std::any_of(volumes.begin(), volumes.end(), [&](const DriveEntry& d) { return d.root == root; });
    if (!known) volumes.append({root, volumeText(volume)});
  }
  std::sort(volumes.begin(), volumes.end(), [](const DriveEntry& a, const DriveEntry& b) { return a.root < b.root; });
  drives.append(volumes);
  return drives;
}

int driveContaining(const QList<DriveEntry>& drives, const QString& path) {
  int best = -1;
  for (int i = 0; i < drives.size(); ++i) {
    if (!pathIsWithin(path, drives[i].root)) continue;
    if (best < 0 || drives[i].root.size() > drives[best].root.size()) best = i;
  }
  return best;
}

QString nearestExistingFolder(const QString& folder, const QString& root) {
  QString candidate = QDir::cleanPath(folder);
  while (pathIsWithin(candidate, root) && candidate != root) {
    if (QFileInfo(candidate).isDir()) return candidate;
    candidate = QFileInfo(candidate).path();
  }
  return root;
}

bool folderIsReadable(const QString& folder) {
  const QFileInfo info(folder);
  return info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace korvane
