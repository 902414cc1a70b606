#!/usr/bin/env bash
# Installs what is missing, builds, and starts korvane talking to the simulated machine tool,
# so nothing but this machine is needed: press 送信 and watch the sample program arrive.
# Extra arguments go to korvane (file paths to put in the list).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release
exec scripts/demo.sh build/release "$@"
