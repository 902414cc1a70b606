// Which mounts the folder chooser offers as drives and which drive holds a folder.
#include "ui/drive_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace korvane {
namespace {

TEST(DriveList, OffersVolumesForFilesOnly) {
  EXPECT_TRUE(isUserVolume(QStringLiteral("/"), "ext4"));
  EXPECT_TRUE(isUserVolume(QStringLiteral("/home"), "btrfs"));
  EXPECT_TRUE(isUserVolume(QStringLiteral("/media/usb"), "vfat"));
  EXPECT_TRUE(isUserVolume(QStringLiteral("/run/media/op/NCDATA"), "exfat"));
  EXPECT_TRUE(isUserVolume(QStringLiteral("/mnt/share"), "cifs"));
  EXPECT_TRUE(isUserVolume(QStringLiteral("/mnt/remote"), "fuse.sshfs"));

  EXPECT_FALSE(isUserVolume(QStringLiteral("/proc"), "proc"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/sys/fs/cgroup/cpu"), "cgroup"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/dev/shm"), "tmpfs"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/tmp"), "tmpfs"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/run/user/1000"), "ext4"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/snap/core/1"), "ext4"));
  EXPECT_FALSE(isUserVolume(QStringLiteral("/boot/efi"), "vfat"));
}

TEST(DriveList, PathsAreWithinWholeComponents) {
  EXPECT_TRUE(pathIsWithin(QStringLiteral("/data"), QStringLiteral("/data")));
  EXPECT_TRUE(pathIsWithin(QStringLiteral("/data/nc"), QStringLiteral("/data")));
  EXPECT_FALSE(pathIsWithin(QStringLiteral("/data2/nc"), QStringLiteral("/data")));
  EXPECT_FALSE(pathIsWithin(QStringLiteral("/dat"), QStringLiteral("/data")));
  EXPECT_TRUE(pathIsWithin(QStringLiteral("/anything"), QStringLiteral("/")));
  EXPECT_TRUE(pathIsWithin(QStringLiteral("/"), QStringLiteral("/")));
}

TEST(DriveList, TheLongestRootHoldingThePathWins) {
  const QList<DriveEntry> drives = {{QStringLiteral("/"), {}},
                                    {QStringLiteral("/home/op"), {}},
                                    {QStringLiteral("/media/usb"), {}},
                                    {QStringLiteral("/media"), {}}};
  EXPECT_EQ(driveContaining(drives, QStringLiteral("/media/usb/nc")), 2);
  EXPECT_EQ(driveContaining(drives, QStringLiteral("/media/usb")), 2);
  EXPECT_EQ(driveContaining(drives, QStringLiteral("/media/usb2")), 3);
  EXPECT_EQ(driveContaining(drives, QStringLiteral("/home/op/nc")), 1);
  EXPECT_EQ(driveContaining(drives, QStringLiteral("/home/open")), 0);
  EXPECT_EQ(driveContaining(drives.mid(1), QStringLiteral("/etc")), -1);
}

TEST(DriveList, SystemDrivesStartWithTheRootAndHome) {
  const QList<DriveEntry> drives = systemDrives();
  ASSERT_GE(drives.size(), 1);
  EXPECT_EQ(drives[0].root, QStringLiteral("/"));
  const QString home = QDir::cleanPath(QDir::homePath());
  if (home != QLatin1String("/")) {
    ASSERT_GE(drives.size(), 2);
    EXPECT_EQ(drives[1].root, home);
  }
  for (int i = 0; i < drives.size(); ++i) {
    EXPECT_FALSE(drives[i].text.isEmpty());
    EXPECT_TRUE(drives[i].text.startsWith(drives[i].root)) << drives[i].text.toStdString();
    for (int j = i + 1; j < drives.size(); ++j) EXPECT_NE(drives[i].root, drives[j].root);
  }
}

TEST(DriveList, NearestExistingFolderStaysOnTheDrive) {
  QTemporaryDir temp;
  const QString root = QDir::cleanPath(temp.path());
  ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/nc/a")));
  EXPECT_EQ(nearestExistingFolder(root + QStringLiteral("/nc/a"), root), root + QStringLiteral("/nc/a"));
  EXPECT_EQ(nearestExistingFolder(root + QStringLiteral("/nc/gone/deeper"), root), root + QStringLiteral("/nc"));
  EXPECT_EQ(nearestExistingFolder(root + QStringLiteral("/gone"), root), root);
  // A root that does not exist is still the answer: the caller finds it not ready.
  EXPECT_EQ(nearestExistingFolder(QStringLiteral("/nowhere/x"), QStringLiteral("/nowhere")), QStringLiteral("/nowhere"));
}

TEST(DriveList, AFolderIsReadableOnlyWhenItIsAFolder) {
  QTemporaryDir temp;
  EXPECT_TRUE(folderIsReadable(temp.path()));
  EXPECT_FALSE(folderIsReadable(temp.path() + QStringLiteral("/missing")));
  QFile file(temp.filePath(QStringLiteral("f")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(folderIsReadable(file.fileName()));
}

}  // namespace
}  // namespace korvane
