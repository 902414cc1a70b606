// The terminal on POSIX: Ctrl-C and a polite kill end a transfer the way its abort button does.
#include <signal.h>

#include <atomic>

#include "app/cli/terminal_view.h"

namespace korvane::cli {

namespace {

std::atomic<bool>* gAbortFlag = nullptr;

void onAbortSignal(int) {
  if (gAbortFlag) gAbortFlag->store(true);
}

}  // namespace

void installAbortSignals(std::atomic<bool>* flag) {
  gAbortFlag = flag;
  struct sigaction action = {};
  action.sa_handler = onAbortSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking wait returns and sees the flag
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void prepareConsole() {}

void prepareBinaryOutput() {}

}  // namespace korvane::cli
