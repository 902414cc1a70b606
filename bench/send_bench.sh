#!/usr/bin/env bash
# Send benchmarks against the simulated machine tool on a pseudo-terminal (figures, not tests).
#  1. Drip feed: a 200 KB program at 38400 baud, 8N2, XON/XOFF, to a machine with a 256-character
#     buffer; then the same with the machine executing slower than the line (--consume), so
#     flow control works all the time.
#  2. Waiting 10 s for DC1: processor time of the wait.
# Usage: bench/send_bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
cli=$build/src/korvane-cli
[ -x "$cli" ] || { echo "send_bench.sh: build first ($cli missing)" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export windir=$work/settings
mkdir -p "$windir"
unset XDG_CONFIG_HOME

# Profile 1: 38400,N,8,2, XON/XOFF only (ﾊﾝﾄﾞｼｪｲｸ=1), ISO, "%" framing (StopCode=1).
# Profile 2: as 1, and waits for the machine's DC1 (DC1=1).
printf '[COM1]\r\n\xbd\xcb\xdf\xb0\xc4\xde=38400\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=1\r\nStopCode=1\r\n' >"$windir/korvane.ini"
printf '[COM2]\r\n\xbd\xcb\xdf\xb0\xc4\xde=38400\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=1\r\nDC1=1\r\n\xce\xdf\xb0\xc4=2\r\n' >>"$windir/korvane.ini"

# A 200 KB program of plausible blocks.
prog=$work/drip.nc
awk 'BEGIN { print "O9000"; print "G90G54G17"; n = 0;
  while (size < 200000) { n++; line = sprintf("N%d G01 X%.3f Y%.3f Z-%.3f F%d", n, (n % 997) * 0.137, (n % 883) * 0.211, (n % 17) * 0.05, 200 + n % 800);
    print line; size += length(line) + 1 }
  print "M30" }' >"$prog"
size=$(stat -c %s "$prog")

run_drip() {  # $1: extra machine options, $2: label
  local store=$work/store-$2 out=$work/machine-$2.json
  mkdir -p "$store"
  "$cli" machine --link 1 --baud 38400 --frame 8N2 --buffer 256 $1 --store "$store" --idle-exit 4 >"$out" 2>"$work/machine-$2.log" &
  local machine=$!
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  local start end
  start=$(date +%s.%N)
  "$cli" send --profile 1 "$prog" 2>"$work/send-$2.log" || { echo "send failed:"; cat "$work/send-$2.log"; }
  end=$(date +%s.%N)
  wait "$machine" || true
  echo "== drip feed ($2): $size bytes, send job $(/usr/bin/python3 -c "print(round($end - $start, 2))") s wall"
  /usr/bin/python3 - "$out" <<'PY'
import json, sys
text = open(sys.argv[1]).read()
summary = json.loads(text[text.index('{'):])
keys = ["line_rate_cps", "take_rate_cps", "program_characters", "executing_chars_per_second", "throughput_ratio",
        "overruns", "lost", "parity_errors", "starvations", "starvation_ms", "dc3_sent", "max_bytes_after_dc3",
        "bytes_after_dc3_late", "max_resume_latency_ms", "resume_samples"]
for k in keys:
    if k in summary:
        print(f"  {k:28} {summary[k]}")
PY
}

run_drip "" line-rate
run_drip "--consume 2000" consume-2000

echo "== waiting 10 s for DC1 (profile 2, machine never sends it)"
"$cli" machine --link 2 --baud 38400 --buffer 0 --idle-exit 30 >"$work/machine-dc1.json" 2>/dev/null &
for _ in $(seq 50); do [ -s "$work/machine-dc1.json" ] && break; sleep 0.1; done
/usr/bin/time -f "  wall %e s, user %U s, system %S s" timeout -s INT 10 "$cli" send --profile 2 "$prog" 2>&1 | grep -E "wall|中断" || true
