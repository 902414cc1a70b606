#!/usr/bin/env bash
# Unpacks LinuxCNC's standalone G-code interpreter rs274 (Debian's linuxcnc-uspace) into
# build/reference/linuxcnc, where the analysis tests use it as an independent reading of the
# same programs. Unpacked with dpkg -x, not installed: nothing of it reaches the system.
set -euo pipefail
cd "$(dirname "$0")/.."
root=build/reference/linuxcnc
[ -x "$root/usr/bin/rs274" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
if ! (cd "$work" && apt-get download linuxcnc-uspace >/dev/null 2>&1); then
  "${as_root[@]}" apt-get update -q >/dev/null
  (cd "$work" && apt-get download linuxcnc-uspace >/dev/null)
fi
mkdir -p "$root"
dpkg -x "$work"/linuxcnc-uspace_*.deb "$root"
