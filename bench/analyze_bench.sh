#!/usr/bin/env bash
# Times `korvane-cli analyze` against `wc -l` on one generated mill program of about 200 MB and
# reports analyze's peak memory; then the same for a lathe program of the same size read with
# --lathe. CPU times are shown too: on a busy machine they say more than wall-clock times. Builds
# nothing: pass the korvane-cli to measure.
# Usage: bench/analyze_bench.sh [path/to/korvane-cli] [size in MB, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/src/korvane-cli}
size_mb=${2:-200}
[ -x "$cli" ] || { echo "analyze_bench.sh: no korvane-cli at $cli (build first: scripts/build.sh)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "analyze_bench.sh: /usr/bin/time is missing (scripts/deps.sh installs it)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
program=$work/bench.nc

# A block of programs with every kind of block the analysis reads, repeated up to the size asked
# for (bench/make_program.py).
python3 bench/make_program.py "$program" "$size_mb"

bytes=$(stat -c %s "$program")
cat "$program" >/dev/null  # every run reads from the page cache

# Best of three runs: wall-clock and CPU (user + system) seconds of a command, output dropped.
# (/usr/bin/time counts in hundredths, too coarse for wc -l.)
timed() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
best = None
for _ in range(3):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    best = (wall, cpu) if best is None or wall < best[0] else best
print(f"{best[0]:.3f} {best[1]:.3f}")
PY
}

read -r wc_wall wc_cpu <<<"$(timed wc -l "$program")"
read -r an_wall an_cpu <<<"$(timed "$cli" analyze "$program")"
/usr/bin/time -v -o "$work/time.txt" "$cli" analyze "$program" >/dev/null
peak_kb=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")

awk -v bytes="$bytes" -v wcw="$wc_wall" -v wcc="$wc_cpu" -v anw="$an_wall" -v anc="$an_cpu" -v peak="$peak_kb" 'BEGIN {
  if (wcc <= 0) wcc = 0.001
  printf "program:     %d bytes\n", bytes
  printf "wc -l:       %.3f s wall, %.3f s CPU (best of 3)\n", wcw, wcc
  printf "analyze:     %.3f s wall, %.3f s CPU (best of 3; %.0f MB/s)\n", anw, anc, bytes / anw / 1e6
  printf "ratio:       %.1f x wc -l wall, %.1f x CPU (goal: at most 10)\n", anw / wcw, anc / wcc
  printf "peak memory: %d kB (goal: under 65536)\n", peak
}'

# A lathe program of the same size (bench/make_program.py --lathe).
lathe=$work/lathe.nc
python3 bench/make_program.py "$lathe" "$size_mb" --lathe
lathe_bytes=$(stat -c %s "$lathe")
cat "$lathe" >/dev/null
read -r lwc_wall lwc_cpu <<<"$(timed wc -l "$lathe")"
read -r la_wall la_cpu <<<"$(timed "$cli" analyze --lathe "$lathe")"
/usr/bin/time -v -o "$work/time.txt" "$cli" analyze --lathe "$lathe" >/dev/null
lathe_peak_kb=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
awk -v bytes="$lathe_bytes" -v wcw="$lwc_wall" -v wcc="$lwc_cpu" -v anw="$la_wall" -v anc="$la_cpu" -v peak="$lathe_peak_kb" 'BEGIN {
  if (wcc <= 0) wcc = 0.001
  printf "lathe program: %d bytes\n", bytes
  printf "wc -l:         %.3f s wall, %.3f s CPU (best of 3)\n", wcw, wcc
  printf "analyze:       %.3f s wall, %.3f s CPU (best of 3, --lathe; %.0f MB/s)\n", anw, anc, bytes / anw / 1e6
  printf "ratio:         %.1f x wc -l wall, %.1f x CPU\n", anw / wcw, anc / wcc
  printf "peak memory:   %d kB\n", peak
}'
