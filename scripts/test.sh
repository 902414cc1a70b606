#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [release|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
scripts/deps.sh
scripts/build.sh "$flavour"
scripts/reference.sh
export QT_QPA_PLATFORM=offscreen
if [ "$flavour" = sanitize ]; then
  # Leak checking is off: Qt, fontconfig and D-Bus keep process-lifetime allocations that
  # LeakSanitizer reports from every widget test. Memory errors and undefined behaviour stop the run.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
ctest --test-dir "build/$flavour" --output-on-failure -j "$(nproc)" --timeout 300
