#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the program and the tests need
# and the machine does not have yet. Safe to run again: it installs only what is missing.
# Usage: scripts/deps.sh [package|fuzz]   (package: also the tools that build and check the .deb;
# fuzz: also clang and its libFuzzer runtime)
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipafont-gothic fontconfig
  xdg-utils
  msmtp msmtp-mta python3 python3-aiosmtpd
  time
  libboost-python1.74.0  # LinuxCNC's rs274 needs it (scripts/reference.sh unpacks rs274 for the tests)
)
if [ "${1:-}" = package ]; then
  # dpkg-shlibdeps (dpkg-dev) and file find the libraries' packages for CPack; the rest check
  # the package and its desktop entry, AppStream data and manual pages.
  packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db)
fi
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps.sh: run as root, or install sudo, to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q >/dev/null
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
