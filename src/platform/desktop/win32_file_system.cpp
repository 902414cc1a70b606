#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/desktop/file_system.h"
#include "platform/win32_error.h"

namespace korvane {

namespace {

const wchar_t* wide(const QString& nativePath) { return reinterpret_cast<const wchar_t*>(nativePath.utf16()); }

}  // namespace

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

QString renameFile(const QString& from, const QString& to, bool replace) {
  const QString source = QDir::toNativeSeparators(from);
  const QString target = QDir::toNativeSeparators(to);
  // Without MOVEFILE_REPLACE_EXISTING the move fails when anything has the name already.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExW(wide(source), wide(target), flags)) return QString();
  return win32ErrorText(GetLastError());
}

int openRegularFileInFolder(const QString& folder, const QString& path, FolderFileRefusal* refusal) {
  using Kind = FolderFileRefusal::Kind;
  auto refuse = [refusal](Kind kind, const QString& detail) {
    if (refusal) *refusal = FolderFileRefusal{kind, detail};
    return -1;
  };
  // The file is named inside the folder; a reparse point (a symbolic link or a junction) is not
  // followed at all, so nothing outside is ever opened through one.
  const QString native = QDir::toNativeSeparators(QFileInfo(QDir(folder), path).absoluteFilePath());
  const HANDLE h = CreateFileW(wide(native), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return refuse(Kind::Unreadable, win32ErrorText(GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  const DWORD error = GetLastError();
  QString kind;
  if (!known) {
    CloseHandle(h);
    return refuse(Kind::Unreadable, win32ErrorText(error));
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    kind = QStringLiteral("リンク");
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    kind = QStringLiteral("フォルダ");
  } else if (GetFileType(h) != FILE_TYPE_DISK) {
    kind = QStringLiteral("デバイス");
  }
  if (!kind.isEmpty()) {
    CloseHandle(h);
    return refuse(Kind::NotRegularFile, kind);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return refuse(Kind::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
  }
  return fd;
}

}  // namespace korvane
