#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "platform/desktop/file_system.h"

namespace korvane {

bool fileNameFits(const QString& folder, const QString& name) {
  // The volume's limit is in UTF-16 units (255 on NTFS and FAT with long names).
  DWORD limit = 255;
  const QString root = QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath()).left(3);
  DWORD longest = 0;
  if (GetVolumeInformationW(reinterpret_cast<const wchar_t*>(root.utf16()), nullptr, 0, nullptr, &longest, nullptr,
                            nullptr, 0) &&
      longest > 0)
    limit = longest;
  return static_cast<DWORD>(name.size()) <= limit;
}

int openFileForWriting(const QString& path) {
  const QString native = QDir::toNativeSeparators(path);
  return _wopen(reinterpret_cast<const wchar_t*>(native.utf16()), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}

int syncFileData(int fd) {
  if (_commit(fd) == 0) return 0;
  return errno == EBADF ? EBADF : 0;  // a device without buffers to flush counts as done
}

}  // namespace korvane
