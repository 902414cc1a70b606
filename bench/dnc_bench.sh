#!/bin/sh
# Times korvane-cli dnc on a main program with 10 000 and then 20 000 M98 calls into 1 000
# subprograms and prints the times and their ratio. The conversion should grow linearly with its
# output: double the calls, at most 2.2 times the time.
#
# usage: [CALLS=n] [BENCH_DIR=folder] bench/dnc_bench.sh [KORVANE_CLI]
#   KORVANE_CLI  default: build/release/src/korvane-cli, else the first build*/src/korvane-cli
#   CALLS        the smaller size (default 10000); the larger one is twice that. At the default
#                size start-up is a good part of the time; CALLS=200000 shows the growth clearly.
#   BENCH_DIR    where a fresh work folder is made (default /tmp); it is removed afterwards.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-}
if [ -z "$cli" ]; then
  for candidate in "$here"/build/release/src/korvane-cli "$here"/build*/src/korvane-cli "$here"/build/*/src/korvane-cli; do
    if [ -x "$candidate" ]; then cli=$candidate; break; fi
  done
fi
[ -n "$cli" ] && [ -x "$cli" ] || { echo "korvane-cli not found; pass its path" >&2; exit 2; }

work=$(mktemp -d "${BENCH_DIR:-/tmp}/korvane-dnc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Subprograms O1001..O2000, five moves each; a main program with $1 calls, every tenth with L2,
# spread over all subprograms. The run without calls shows what start-up and reading cost.
awk 'BEGIN {
  for (s = 1001; s <= 2000; s++) {
    printf "O%d\r\n", s
    for (m = 1; m <= 5; m++) printf "G01 X%d.%03d Y%d. F%d\r\n", m, s % 1000, s - 1000, 100 * m
    printf "M99\r\n"
  }
}' > "$work/subs.nc"

make_main() {
  awk -v calls="$1" 'BEGIN {
    printf "%%\r\nO0001\r\nG90 G54\r\n"
    for (i = 0; i < calls; i++) {
      if (i % 10 == 9) printf "M98P%dL2\r\n", 1001 + (i * 7) % 1000
      else printf "M98P%d\r\n", 1001 + (i * 7) % 1000
    }
    printf "M30\r\n%%\r\n"
  }' > "$2"
}

now() { date +%s.%N; }

best_time() {  # output file, list files...: the best of five runs in seconds
  out=$1
  shift
  best=""
  for run in 1 2 3 4 5; do
    start=$(now)
    "$cli" dnc -o "$out" --no "$@" > /dev/null 2>&1
    end=$(now)
    t=$(echo "$end $start" | awk '{ printf "%.4f", $1 - $2 }')
    if [ -z "$best" ] || [ "$(echo "$t $best" | awk '{ print ($1 < $2) }')" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

calls=${CALLS:-10000}
make_main "$calls" "$work/main-small.nc"
make_main $((calls * 2)) "$work/main-large.nc"
make_main 0 "$work/main0.nc"
export TMPDIR="$work"
t0=$(best_time "$work/out0.dnc" "$work/main0.nc" "$work/subs.nc")
t1=$(best_time "$work/out-small.dnc" "$work/main-small.nc" "$work/subs.nc")
t2=$(best_time "$work/out-large.dnc" "$work/main-large.nc" "$work/subs.nc")
s1=$(wc -c < "$work/out-small.dnc")
s2=$(wc -c < "$work/out-large.dnc")

echo "korvane-cli: $cli"
printf 'no calls (start-up, reading the list): %8.4f s\n' "$t0"
printf '%6d calls: %8.4f s  output %10d bytes\n' "$calls" "$t1" "$s1"
printf '%6d calls: %8.4f s  output %10d bytes\n' $((calls * 2)) "$t2" "$s2"
echo "$t0 $t1 $t2 $s1 $s2" | awk '{
  printf "output ratio %.2f\n", $5 / $4
  printf "time ratio %.2f (goal <= 2.2)\n", $3 / $2
  if ($2 > 4 * $1) printf "time ratio without the start-up %.2f\n", ($3 - $1) / ($2 - $1)
}'
