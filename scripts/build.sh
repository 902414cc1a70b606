#!/usr/bin/env bash
# Configures and builds into build/<flavour> (default: build/release); with targets named, only
# those (and what they need).
# Usage: scripts/build.sh [release|sanitize|tsan] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
[ $# -gt 0 ] && shift
targets=()
for t in "$@"; do targets+=(--target "$t"); done
case "$flavour" in
  release)  opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) opts=(-DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_BUILD_BENCH=OFF) ;;
  tsan)     opts=(-DCMAKE_BUILD_TYPE=Debug -DKORVANE_TSAN=ON -DKORVANE_BUILD_BENCH=OFF) ;;
  *) echo "build.sh: unknown flavour $flavour" >&2; exit 2 ;;
esac
cmake -S . -B "build/$flavour" "${opts[@]}" >/dev/null
cmake --build "build/$flavour" -j "$(nproc)" "${targets[@]}"
