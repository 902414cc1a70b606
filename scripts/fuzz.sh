#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# into build/fuzz and runs each for the given number of seconds (default 10), seeded with the
# golden cases under tests/data. A failure leaves the input that caused it in build/fuzz/findings.
# Usage: scripts/fuzz.sh [seconds] [target...]     e.g. scripts/fuzz.sh 600 fuzz_analysis
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
scripts/deps.sh fuzz
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz --target fuzz_targets -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
mkdir -p build/fuzz/findings
status=0
for target in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  case "$target" in
    fuzz_analysis|fuzz_dnc) seeds=(tests/data/analysis tests/data/dnc) ;;
    fuzz_receive) seeds=(tests/data/receive) ;;
    fuzz_settings) seeds=(tests/fuzz/seeds/settings) ;;
    fuzz_telnet) seeds=(tests/fuzz/seeds/telnet) ;;
    *) seeds=(tests/data) ;;
  esac
  for s in "${seeds[@]}"; do
    [ -d "$s" ] && find "$s" -type f -size -64k -exec cp -n {} "$corpus"/ \; 2>/dev/null || true
  done
  echo "fuzz.sh: $target for ${seconds}s"
  if ! "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build/fuzz/findings/$target-" -print_final_stats=0 "$corpus" >"build/fuzz/$target.log" 2>&1; then
    echo "fuzz.sh: $target failed; its log: build/fuzz/$target.log" >&2
    tail -40 "build/fuzz/$target.log" >&2
    status=1
  fi
done
exit $status
