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

# A lathe program of the same size: facing and turning under G96 up to the G50 limit, G71 with its
# shape and G70, G76 threads, grooving with G75, hand-written turning passes, repeated.
lathe=$work/lathe.nc
python3 - "$lathe" "$size_mb" <<'PY'
import random, sys
path, size_mb = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20261209)
lines = []
for p in range(100):
    lines += ["%", f"O{2000 + p}", "(OD ROUGH AND FINISH)", "G50 S2500", "G00 X200. Z100. T0101", "G96 S180 M03", "G99",
              "G00 X62. Z2.", "G71 U1.5 R0.5", "G71 P100 Q200 U0.4 W0.1 F0.25",
              "N100 G00 X20.", "G01 Z-15.", "G02 X30. Z-20. R5.", "G01 Z-40.", "X45. Z-50.", "N200 X62.",
              "G70 P100 Q200 F0.1", "G00 X200. Z100. T0303", "G97 S900", "G00 X32. Z5.",
              "G76 P020060 Q100 R0.05", "G76 X27.4 Z-18. P1300 Q400 F2.0", "G00 X200. Z100. T0505", "G96 S120",
              "G00 X48. Z-30.", "G75 R0.5", "G75 X36. Z-36. P2000 Q2500 F0.08", "G00 X200. Z100. T0707", "G96 S200"]
    for n in range(400):
        x = rnd.uniform(20, 60)
        z = -rnd.uniform(0, 60)
        r = rnd.random()
        if r < 0.4:
            lines.append(f"N{n * 10} G01 X{x:.3f} Z{z:.3f} F{rnd.choice([0.1, 0.15, 0.2, 0.3])}")
        elif r < 0.6:
            lines.append(f"G01 U-{rnd.uniform(0, 2):.3f} W-{rnd.uniform(0, 5):.3f}")
        elif r < 0.75:
            lines.append(f"G02 X{x:.3f} Z{z:.3f} R{rnd.uniform(30, 80):.3f}")
        elif r < 0.85:
            lines.append(f"G03 X{x:.3f} Z{z:.3f} I{rnd.uniform(-5, 5):.3f} K{rnd.uniform(-5, 5):.3f}")
        else:
            lines.append(f"G00 X{x + 5:.3f} Z2.")
    lines += ["G00 X200. Z100.", "M30", "%"]
unit = ("\r\n".join(lines) + "\r\n").encode("ascii")
target = size_mb * 1000 * 1000
with open(path, "wb") as f:
    written = 0
    while written < target:
        f.write(unit)
        written += len(unit)
PY
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
