#include "platform/win32_error.h"

#include <windows.h>

namespace korvane {

QString win32ErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  QString text;
  if (length > 0 && buffer) text = QString::fromWCharArray(buffer, static_cast<qsizetype>(length)).trimmed();
  if (buffer) LocalFree(buffer);
  if (text.isEmpty()) return QStringLiteral("error %1").arg(code);
  return QStringLiteral("%1 (%2)").arg(text).arg(code);
}

}  // namespace korvane
