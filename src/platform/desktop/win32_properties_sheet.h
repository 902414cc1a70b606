#pragma once
// The shell's properties sheet of a file ("プロパティ" in Explorer).

#include <QString>

namespace korvane {

// Asks the shell for the sheet and returns at once; the sheet runs on the shell's own thread.
// False when the shell would not show one. ownerWindow is the HWND of the owning window or null.
bool showShellProperties(const QString& path, void* ownerWindow);

}  // namespace korvane
