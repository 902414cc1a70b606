#pragma once
// Shutting Windows down: the shutdown privilege switched on in the process's token, then
// ExitWindowsEx. Programs that hold unsaved work are asked, not forced.

#include "platform/desktop/power_off.h"

namespace korvane {

class Win32PowerOff final : public PowerOff {
 public:
  void requestPowerOff() override;
};

}  // namespace korvane
