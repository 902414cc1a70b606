#!/usr/bin/env bash
# Configures and builds into build/<flavour> (default: build/release).
# Usage: scripts/build.sh [release|sanitize|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release)  opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) opts=(-DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_BUILD_BENCH=OFF) ;;
  tsan)     opts=(-DCMAKE_BUILD_TYPE=Debug -DKORVANE_TSAN=ON -DKORVANE_BUILD_BENCH=OFF) ;;
  *) echo "build.sh: unknown flavour $flavour" >&2; exit 2 ;;
esac
cmake -S . -B "build/$flavour" "${opts[@]}" >/dev/null
cmake --build "build/$flavour" -j "$(nproc)"
