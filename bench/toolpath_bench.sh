#!/usr/bin/env bash
# The toolpath view and `korvane-cli plot` on the 200 MB benchmark program (the program of
# bench/analyze_bench.sh) and on a 200 MB surface-finishing program (moves of 0.1 mm that never
# repeat), each beside `korvane-cli analyze` on the same file: wall-clock and CPU seconds and
# peak memory of each, and bench/toolpath_bench.cpp's figures (reading, drawing the whole
# program and zoomed in, the window's time to its first picture). Builds nothing.
# Usage: bench/toolpath_bench.sh [build folder, default build/release] [size in MB, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
size_mb=${2:-200}
cli=$build/src/korvane-cli
bench=$build/bench/toolpath_bench
for program in "$cli" "$bench"; do
  [ -x "$program" ] || { echo "toolpath_bench.sh: no $program (build first: scripts/build.sh release korvane-cli toolpath_bench)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "toolpath_bench.sh: /usr/bin/time is missing (scripts/deps.sh installs it)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-toolpath-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# One command: "NAME: WALL s wall, CPU s CPU, PEAK MB peak" (its output to $work/out.txt).
measured() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt" ||
    { echo "$name failed:"; cat "$work/err.txt"; return 1; }
  awk -v name="$name" '{ printf "%-28s %7.2f s wall, %7.2f s CPU, %6.0f MB peak\n", name ":", $1, $2 + $3, $4 / 1024 }' "$work/time.txt"
}

echo "load before: $(uptime)"
for kind in repeated surface; do
  program=$work/$kind.nc
  if [ "$kind" = surface ]; then
    python3 bench/make_program.py "$program" "$size_mb" --surface
  else
    python3 bench/make_program.py "$program" "$size_mb"
  fi
  cat "$program" >/dev/null  # every run reads from the page cache
  echo
  echo "== $kind program: $(stat -c %s "$program") bytes"
  measured "analyze" "$cli" analyze "$program"
  measured "window, to its first picture" "$bench" "$program" --window-only
  sed 's/^/    /' "$work/out.txt"
  measured "plot PNG 1200x900" "$cli" plot "$program" -o "$work/plot.png"
  measured "plot SVG" "$cli" plot "$program" -o "$work/plot.svg"
  echo "    SVG: $(stat -c %s "$work/plot.svg") bytes"
  rm -f "$work/plot.svg"
  measured "model and drawing" "$bench" "$program"
  sed 's/^/    /' "$work/out.txt"
  rm -f "$program"
done
echo
echo "load after: $(uptime)"
