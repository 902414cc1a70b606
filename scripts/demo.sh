#!/usr/bin/env bash
# Starts korvane against the simulated machine tool, so no machine and no serial port are
# needed: press 送信 and the sample program arrives at the machine.
# Usage: scripts/demo.sh BUILD_DIR [FILE...]   (default file: resources/samples/sample.nc)
#
# The demo keeps its own settings under BUILD_DIR/demo/config (XDG_CONFIG_HOME), so the
# operator's real korvane.ini and port links are never touched; its profile 1 is the default
# one (9600,N,8,2, handshake 3, ISO, DCD/DSR check), and "Com 1" is the machine's terminal. What
# the machine reads is stored in BUILD_DIR/demo/received.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/demo.sh BUILD_DIR [FILE...]}
shift
build=$(realpath "$build")
cli=$build/src/korvane-cli
gui=$build/src/korvane
for tool in "$cli" "$gui"; do
  [ -x "$tool" ] || { echo "demo.sh: $tool is missing; build first (scripts/build.sh)" >&2; exit 1; }
done

files=()
if [ $# -eq 0 ]; then
  files=("$PWD/resources/samples/sample.nc")
else
  for f in "$@"; do files+=("$(realpath "$f")"); done
fi

demo=$build/demo
mkdir -p "$demo/config" "$demo/received"
export XDG_CONFIG_HOME=$demo/config
unset windir  # it would move the settings file elsewhere

# The machine: a tape reader with a 256-character buffer and XON/XOFF at the default profile's
# 9600 baud, 8N2, on a pseudo-terminal linked as Com 1.
"$cli" machine --link 1 --baud 9600 --frame 8N2 --buffer 256 --store "$demo/received" \
  >"$demo/machine.out" 2>"$demo/machine.log" &
machine=$!
stop_machine() {
  if kill -0 "$machine" 2>/dev/null; then
    kill -TERM "$machine"
    wait "$machine" || true
  fi
}
trap stop_machine EXIT

for _ in $(seq 50); do
  [ -s "$demo/machine.out" ] && break
  kill -0 "$machine" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$demo/machine.out" ]; then
  echo "demo.sh: the simulated machine did not start:" >&2
  cat "$demo/machine.log" >&2
  exit 1
fi
echo "Simulated machine on $(head -n 1 "$demo/machine.out") as Com 1 ($XDG_CONFIG_HOME/korvane/korvane-ports/com1)"

status=0
"$gui" "${files[@]}" || status=$?

stop_machine
trap - EXIT
echo
echo "What the machine read (summary in $demo/machine.out):"
tail -n +2 "$demo/machine.out" | grep -E '"(programs|characters|parity_errors|overruns|starvations|chars_per_second)"' || true
echo "Received programs are stored in $demo/received:"
ls -l "$demo/received" | tail -n +2
exit $status
