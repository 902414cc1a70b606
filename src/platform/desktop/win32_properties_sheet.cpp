#include "platform/desktop/win32_properties_sheet.h"

#include <QDir>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace korvane {

bool showShellProperties(const QString& path, void* ownerWindow) {
  const QString native = QDir::toNativeSeparators(path);
  const auto* wide = reinterpret_cast<const wchar_t*>(native.utf16());
  const HWND owner = static_cast<HWND>(ownerWindow);
  if (SHObjectProperties(owner, SHOP_FILEPATH, wide, nullptr)) return true;
  // The older route, for a shell without SHObjectProperties.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = L"properties";
  info.lpFile = wide;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace korvane
