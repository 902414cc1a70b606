#include "platform/desktop/win32_power_off.h"

#include <windows.h>

namespace korvane {

void Win32PowerOff::requestPowerOff() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  // A plain shutdown (the firmware powers off where it can), no reason code, nothing forced. The
  // result is not looked at: a refused request leaves the computer running, as on POSIX.
  ExitWindowsEx(EWX_SHUTDOWN, 0);
}

std::unique_ptr<PowerOff> makeSystemPowerOff() { return std::make_unique<Win32PowerOff>(); }

}  // namespace korvane
