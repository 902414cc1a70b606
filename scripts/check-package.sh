#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built: lintian finds no error, the desktop
# entry and the AppStream data validate, the manual pages, icons, help pages and sample are in
# it. With --install it also installs the package with apt, runs the installed korvane-cli on
# the shipped sample, and removes the package again, checking that nothing of it is left.
# Usage: scripts/check-package.sh [--install] [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
install=no
deb=
for a in "$@"; do
  case "$a" in
    --install) install=yes ;;
    *.deb) deb=$a ;;
    *) echo "check-package.sh: unknown argument $a" >&2; exit 2 ;;
  esac
done
if [ -z "$deb" ]; then
  deb=$(ls build/package/korvane_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || { echo "check-package.sh: no package; run scripts/package.sh first" >&2; exit 1; }
fi
deb=$(realpath "$deb")
version=$(dpkg-deb -f "$deb" Version)
problems=0
problem() { echo "check-package.sh: $*" >&2; problems=$((problems + 1)); }

echo "== lintian $deb"
lintian --fail-on error --info "$deb" || problem "lintian reports errors"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
echo "== desktop-file-validate"
desktop-file-validate "$tree/usr/share/applications/org.example.korvane.desktop" || problem "the desktop entry is invalid"
echo "== appstreamcli validate"
appstreamcli validate --no-net --pedantic "$tree/usr/share/metainfo/org.example.korvane.metainfo.xml" ||
  problem "the AppStream data are invalid"

echo "== contents"
for f in usr/bin/korvane usr/bin/korvane-cli usr/lib/korvane/modules/korvane-png.so \
         usr/share/man/man1/korvane.1.gz usr/share/man/man1/korvane-cli.1.gz \
         usr/share/mime/packages/korvane.xml usr/share/icons/hicolor/scalable/apps/korvane.svg \
         usr/share/korvane/help/index.html usr/share/korvane/samples/sample.nc \
         usr/share/doc/korvane/copyright usr/share/doc/korvane/changelog.gz \
         lib/systemd/system/korvane-serve.service lib/systemd/system/korvane-serve@.service; do
  [ -s "$tree/$f" ] || problem "missing: /$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$tree/usr/share/icons/hicolor/${size}x${size}/apps/korvane.png
  [ -s "$png" ] || { problem "missing: the ${size}x${size} icon"; continue; }
  file -b "$png" | grep -q "PNG image data, $size x $size" || problem "the ${size}x${size} icon is $(file -b "$png")"
done
# Every page the help's contents link to is in the package.
for page in $(grep -o 'href="[^"#]*\.html"' "$tree/usr/share/korvane/help/index.html" | sed 's/href="\(.*\)"/\1/'); do
  [ -s "$tree/usr/share/korvane/help/$page" ] || problem "the help links to $page, which is missing"
done
for page in korvane korvane-cli; do
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$tree/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$text" ] || problem "man $page: $text"
done
# The manual page of korvane-cli describes every command and option the program names.
usage=$("$tree/usr/bin/korvane-cli" --help)
manual=$(zcat "$tree/usr/share/man/man1/korvane-cli.1.gz")
commands=$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$usage")
[ "$(wc -w <<<"$commands")" -ge 5 ] || problem "korvane-cli --help lists no commands the check can read"
for command in $commands; do
  grep -q "^\.B $command" <<<"$manual" || problem "man korvane-cli lacks the command $command"
done
for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$usage" | sort -u); do
  grep -qF -- "${option//-/\\-}" <<<"$manual" || problem "man korvane-cli lacks the option $option"
done

if [ "$install" = yes ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  echo "== apt-get install $deb"
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "$deb" >/dev/null
  files=$(dpkg -L korvane)
  echo "installed: $(dpkg-query -W -f='${Package} ${Version} ${Status}' korvane)"
  /usr/bin/korvane-cli --version | grep -qw "$version" || problem "korvane-cli --version does not answer $version"
  rows=$(/usr/bin/korvane-cli analyze /usr/share/korvane/samples/sample.nc) || problem "korvane-cli analyze of the sample failed"
  echo "$rows"
  grep -q "^sample.nc	1000	" <<<"$rows" || problem "the analysis of the sample has no row for its program 1000"
  # The PNG drawing is a module of its own that plot loads from the package's library folder.
  picture=$tree/sample.png
  /usr/bin/korvane-cli plot /usr/share/korvane/samples/sample.nc -o "$picture" 2>/dev/null ||
    problem "korvane-cli plot of the sample to a PNG failed"
  file -b "$picture" 2>/dev/null | grep -q "PNG image data" || problem "korvane-cli plot wrote no PNG picture"
  man -w korvane-cli >/dev/null || problem "man korvane-cli is not found"
  [ -s /usr/share/mime/text/x-nc-program.xml ] || problem "the NC program type is not in the MIME database"
  id -nG korvane 2>/dev/null | grep -qw dialout || problem "the service user korvane is missing or not in dialout"
  if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /lib/systemd/system/korvane-serve.service || problem "systemd-analyze rejects korvane-serve.service"
  fi
  echo "== apt-get remove korvane"
  "${as_root[@]}" apt-get remove -y -q korvane >/dev/null
  left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done <<<"$files") || true
  [ -z "$left" ] || problem "left after removal: $left"
  status=$(dpkg-query -W -f='${Status}' korvane 2>/dev/null || true)
  case "$status" in ""|"unknown ok not-installed"|"deinstall ok not-installed") ;; *) problem "after removal the package is '$status'" ;; esac
  [ ! -e /usr/share/mime/text/x-nc-program.xml ] || problem "the NC program type stays in the MIME database"
fi

if [ "$problems" -gt 0 ]; then
  echo "check-package.sh: $problems problem(s) in $deb" >&2
  exit 1
fi
echo "check-package.sh: $deb is fine"
