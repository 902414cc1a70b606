#pragma once
// The system's own text for a Win32 error code, as the operator's messages show it.

#include <QString>

namespace korvane {

// FormatMessage's text without its line end, followed by the code; "error <code>" when the
// system has no text for it.
QString win32ErrorText(unsigned long code);

}  // namespace korvane
