// The Windows console: Ctrl-C, Ctrl-Break and closing the console end a transfer the way its
// abort button does, and the console shows the program's UTF-8 text.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include <atomic>

#include "app/cli/terminal_view.h"

namespace korvane::cli {

namespace {

std::atomic<bool>* gAbortFlag = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  if (gAbortFlag) gAbortFlag->store(true);
  // The engine sees the flag at its next wait point and closes the port before the program ends.
  return TRUE;
}

}  // namespace

void installAbortSignals(std::atomic<bool>* flag) {
  gAbortFlag = flag;
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void prepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

void prepareBinaryOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace korvane::cli
