#!/usr/bin/env bash
# Send benchmarks against the simulated machine tool on a pseudo-terminal (figures, not tests).
#  1. Drip feed: a 200 KB program at 38400 baud, 8N2, XON/XOFF, to a machine with a 256-character
#     buffer; then the same with the machine executing slower than the line (--consume), so
#     flow control works all the time; then both at 9600 baud with a 50 KB program. Each prints
#     the machine's figures and the send's processor time as a share of one processor.
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
# Profile 3: as 1 at 9600 baud.
printf '[COM1]\r\n\xbd\xcb\xdf\xb0\xc4\xde=38400\r\n\xbd\xc4\xaf\xcc\xdf\xcb\xde\xaf\xc4=2\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=1\r\nStopCode=1\r\n' >"$windir/korvane.ini"
printf '[COM2]\r\n\xbd\xcb\xdf\xb0\xc4\xde=38400\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=1\r\nDC1=1\r\n\xce\xdf\xb0\xc4=2\r\n' >>"$windir/korvane.ini"
printf '[COM3]\r\n\xbd\xcb\xdf\xb0\xc4\xde=9600\r\n\xbd\xc4\xaf\xcc\xdf\xcb\xde\xaf\xc4=2\r\n\xca\xdd\xc4\xde\xbc\xaa\xb2\xb8=1\r\nStopCode=1\r\n\xce\xdf\xb0\xc4=3\r\n' >>"$windir/korvane.ini"

# Programs of plausible blocks: 200 KB for 38400 baud, 50 KB for 9600 (about a minute each).
make_program() {  # $1: file, $2: size in bytes
  awk -v limit="$2" 'BEGIN { print "O9000"; print "G90G54G17"; n = 0;
    while (size < limit) { n++; line = sprintf("N%d G01 X%.3f Y%.3f Z-%.3f F%d", n, (n % 997) * 0.137, (n % 883) * 0.211, (n % 17) * 0.05, 200 + n % 800);
      print line; size += length(line) + 1 }
    print "M30" }' >"$1"
}
prog=$work/drip.nc
make_program "$prog" 200000
prog9600=$work/drip9600.nc
make_program "$prog9600" 50000

run_drip() {  # $1: profile, $2: baud, $3: program, $4: extra machine options, $5: label
  local store=$work/store-$5 out=$work/machine-$5.json
  mkdir -p "$store"
  "$cli" machine --link "$1" --baud "$2" --frame 8N2 --buffer 256 $4 --store "$store" --idle-exit 4 >"$out" 2>"$work/machine-$5.log" &
  local machine=$!
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  /usr/bin/time -f "%e %U %S" -o "$work/time-$5" "$cli" send --profile "$1" "$3" >/dev/null 2>"$work/send-$5.log" ||
    { echo "send failed:"; cat "$work/send-$5.log"; }
  wait "$machine" || true
  read -r wall user sys <"$work/time-$5"
  echo "== drip feed ($5): $(stat -c %s "$3") bytes at $2 baud, send job $wall s wall," \
    "$(/usr/bin/python3 -c "print(f'{$user + $sys:.2f} s processor, {100 * ($user + $sys) / $wall:.1f} % of one')")"
  /usr/bin/python3 - "$out" <<'PY'
import json, sys
text = open(sys.argv[1]).read()
summary = json.loads(text[text.index('{'):])
keys = ["line_rate_cps", "take_rate_cps", "program_characters", "executing_chars_per_second", "throughput_ratio",
        "overruns", "lost", "parity_errors", "starvations", "starvation_ms", "margin", "dc3_sent", "bytes_after_dc3",
        "max_bytes_after_dc3", "bytes_after_dc3_late", "max_resume_latency_ms", "resume_samples"]
for k in keys:
    if k in summary:
        print(f"  {k:28} {summary[k]}")
PY
}

run_drip 1 38400 "$prog" "" line-rate
run_drip 1 38400 "$prog" "--consume 2000" consume-2000
run_drip 3 9600 "$prog9600" "" line-rate-9600
run_drip 3 9600 "$prog9600" "--consume 500" consume-500

echo "== waiting 10 s for DC1 (profile 2, machine never sends it)"
"$cli" machine --link 2 --baud 38400 --buffer 0 --idle-exit 30 >"$work/machine-dc1.json" 2>/dev/null &
for _ in $(seq 50); do [ -s "$work/machine-dc1.json" ] && break; sleep 0.1; done
/usr/bin/time -f "  wall %e s, user %U s, system %S s" timeout -s INT 10 "$cli" send --profile 2 "$prog" 2>&1 | grep -E "wall|中断" || true
