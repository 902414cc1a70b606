#!/usr/bin/env bash
# Cross-builds korvane for 64-bit Windows with MinGW-w64 and tests it under Wine.
#
#   scripts/windows.sh [all|deps|qt|build|test|analyze|send|package]     (default: all)
#
# deps     installs the cross compiler, Wine, Xvfb, NSIS and zip from Debian's packages
# qt       builds a static Qt for Windows from Debian's qt6-base source package, once, into
#          ${KORVANE_WINDOWS_CACHE:-/work/.cache/korvane-windows}/qt (about 70 minutes on two
#          cores; reused when present; the log is qt-build.log there)
# build    cross-builds korvane.exe, korvane-cli.exe and the tests into build/windows
# test     runs the tests under Wine (headless, QT_QPA_PLATFORM=offscreen), starts korvane.exe on
#          Xvfb, then analyze and send below
# analyze  korvane-cli analyze of the samples and analysis cases, Windows against Linux
# send     the sample sent by the Windows korvane-cli through Wine's COM1 to the simulated
#          machine on a Linux pseudo-terminal
#          (KORVANE_WINDOWS_TARGETS="korvane-cli" scripts/windows.sh build builds only that)
# package  build/windows/korvane-<version>-windows-x64.zip and the NSIS installer next to it
#
# The programs are linked statically: nothing to ship beside them but Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stage=${1:-all}
cache=${KORVANE_WINDOWS_CACHE:-/work/.cache/korvane-windows}
qt_prefix=$cache/qt
jobs=${KORVANE_WINDOWS_JOBS:-2}
triplet=x86_64-w64-mingw32
build=$root/build/windows
work=
machine_pid=
cleanup() {
  [ -n "$machine_pid" ] && kill "$machine_pid" 2>/dev/null
  [ -n "$work" ] && rm -rf "$work"
  return 0
}
trap cleanup EXIT

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "windows.sh: run as root, or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi

deps() {
  local packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake ninja-build ccache
                  qt6-base-dev qt6-base-dev-tools googletest dpkg-dev
                  wine wine64 xvfb xauth nsis zip)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "windows.sh: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -q >/dev/null
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

toolchain() {
  mkdir -p "$cache"
  cat >"$cache/mingw-toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER /usr/bin/$triplet-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/$triplet-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/$triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet $qt_prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
EOF
}

qt() {
  toolchain
  if [ -f "$qt_prefix/.complete" ]; then
    echo "windows.sh: Qt for Windows is ready in $qt_prefix" >&2
    return 0
  fi
  local src=$cache/src
  if [ ! -d "$src/qtbase" ]; then
    # Debian's qt6-base source: the same Qt (6.4.2) as the Linux build, patched as Debian ships it.
    if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources; then
      echo "windows.sh: adding a deb-src entry for bookworm to fetch qt6-base's source" >&2
      "${as_root[@]}" tee /etc/apt/sources.list.d/korvane-windows-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
      "${as_root[@]}" apt-get update -q >/dev/null
    fi
    rm -rf "$src.tmp" && mkdir -p "$src.tmp"
    (cd "$src.tmp" && apt-get source -q qt6-base >/dev/null)
    mv "$(find "$src.tmp" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)" "$src.tmp/qtbase"
    mv "$src.tmp" "$src"
  fi
  echo "windows.sh: building Qt for Windows into $qt_prefix (log: $cache/qt-build.log)" >&2
  # Debian's source lacks src/3rdparty/wintab, hence no tablet events; without OpenGL the Windows
  # platform plugin does not compile with dynamic GL on. korvane uses neither QtNetwork (its
  # sockets are its own), D-Bus, SQL nor printing.
  cmake -S "$src/qtbase" -B "$cache/qt-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DBUILD_SHARED_LIBS=OFF \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_network=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_icu=OFF \
    >>"$cache/qt-build.log" 2>&1
  nice -n 19 cmake --build "$cache/qt-build" -j "$jobs" >>"$cache/qt-build.log" 2>&1
  cmake --install "$cache/qt-build" >>"$cache/qt-build.log" 2>&1
  touch "$qt_prefix/.complete"
  echo "windows.sh: Qt for Windows is ready in $qt_prefix" >&2
}

# The programs and the tests, cross-built against that Qt. Qt's own toolchain file chains to the
# MinGW one and points at the host tools (moc, rcc, uic) of Debian's Qt.
build() {
  [ -f "$qt_prefix/.complete" ] || { echo "windows.sh: no Qt for Windows in $qt_prefix yet (scripts/windows.sh qt)" >&2; exit 1; }
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_BENCH=OFF >/dev/null
  local targets=()
  for t in ${KORVANE_WINDOWS_TARGETS:-}; do targets+=(--target "$t"); done
  nice -n 10 cmake --build "$build" -j "$jobs" "${targets[@]}"
  echo "windows.sh: built $build/src/korvane.exe and $build/src/korvane-cli.exe" >&2
}

# Wine in a prefix of its own inside the cache, without the Mono and Gecko installers.
wine_env() {
  export WINEPREFIX=$cache/wine WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "windows.sh: creating the Wine prefix $WINEPREFIX" >&2
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  wine_appdata=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null || true)
  [ -n "$wine_appdata" ] || wine_appdata=$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming
}

# Writes bytes given as UTF-8 text to a file in code page 932 with CR LF line ends.
write_cp932() {
  python3 -c 'import sys; open(sys.argv[1], "wb").write(sys.stdin.read().replace("\n", "\r\n").encode("cp932"))' "$1"
}

run_tests() {
  wine_env
  export QT_QPA_PLATFORM=offscreen
  local failed=0 t
  for t in "$build"/tests/test_*.exe; do
    echo "windows.sh: wine $(basename "$t")" >&2
    if ! (cd "$root" && wine "$t" --gtest_brief=1); then failed=1; fi
  done
  [ "$failed" = 0 ] || { echo "windows.sh: tests failed under Wine" >&2; exit 1; }
}

gui_smoke() {
  wine_env
  # The window program on Wine's own display driver, on Xvfb, with Qt's windows platform
  # plugin: it must come up and keep running (timeout ends it, status 124).
  local status=0
  (unset QT_QPA_PLATFORM; cd "$root" && timeout 20 xvfb-run -a wine "$build/src/korvane.exe" >/dev/null 2>&1) || status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ "$status" = 124 ] || { echo "windows.sh: korvane.exe ended early under Wine (status $status)" >&2; exit 1; }
  echo "windows.sh: korvane.exe runs under Wine" >&2
}

# The Windows analysis against the Linux one, row for row, with the same settings.
compare_analysis() {
  wine_env
  [ -n "$work" ] || work=$(mktemp -d)
  cmake --build "$root/build/release" --target korvane-cli -j "$jobs" >/dev/null 2>&1 || "$root/scripts/build.sh" release korvane-cli >/dev/null
  local files=("$root"/resources/samples/*.nc "$root"/tests/data/analysis/*/*.nc)
  mkdir -p "$work/xdg/korvane" "$wine_appdata/korvane"
  printf '[COM1]\nﾊﾝﾄﾞｼｪｲｸ=1\nDCDDSR=0\n' | write_cp932 "$work/xdg/korvane/korvane.ini"
  cp "$work/xdg/korvane/korvane.ini" "$wine_appdata/korvane/korvane.ini"
  XDG_CONFIG_HOME=$work/xdg "$root/build/release/src/korvane-cli" analyze --profile 1 "${files[@]}" >"$work/linux.txt"
  (cd "$root" && wine "$build/src/korvane-cli.exe" analyze --profile 1 "${files[@]}") | tr -d '\r' >"$work/windows.txt"
  if ! diff -u "$work/linux.txt" "$work/windows.txt"; then
    echo "windows.sh: korvane-cli analyze differs between Linux and Windows" >&2
    exit 1
  fi
  echo "windows.sh: korvane-cli analyze gives the same $(wc -l <"$work/linux.txt") lines on Linux and Windows" >&2
}

# A send from the Windows program through Wine's COM1 to the simulated machine on a Linux
# pseudo-terminal, with XON/XOFF: the machine must store the sample whole, without an overrun.
send_through_wine() {
  wine_env
  [ -n "$work" ] || work=$(mktemp -d)
  [ -x "$root/build/release/src/korvane-cli" ] || "$root/scripts/build.sh" release korvane-cli >/dev/null
  rm -rf "$work/store" && mkdir -p "$work/store"
  "$root/build/release/src/korvane-cli" machine --baud 9600 --buffer 128 --consume 300 \
    --store "$work/store" --exit-after 1 --idle-exit 120 >"$work/machine.out" 2>"$work/machine.err" &
  machine_pid=$!
  local tty=
  for _ in $(seq 50); do
    tty=$(head -1 "$work/machine.out" 2>/dev/null || true)
    [ -n "$tty" ] && break
    sleep 0.1
  done
  [ -n "$tty" ] || { echo "windows.sh: the simulated machine did not start" >&2; cat "$work/machine.err" >&2; exit 1; }
  echo "windows.sh: simulated machine on $tty, mapped to Wine's COM1" >&2
  wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$tty" /f >/dev/null
  wineserver -k || true  # Wine makes dosdevices/com1 from the key when it starts
  wineserver -w || true
  wine_env
  mkdir -p "$wine_appdata/korvane"
  printf '[COM1]\nｽﾋﾟｰﾄﾞ=9600\nﾊﾟﾘﾃｨ=N\nﾃﾞｰﾀ長=8\nｽﾄｯﾌﾟﾋﾞｯﾄ=2\nﾊﾝﾄﾞｼｪｲｸ=1\nDCDDSR=0\nﾎﾟｰﾄ=1\n[参照]\n開始ポート=1\n' \
    | write_cp932 "$wine_appdata/korvane/korvane.ini"
  local sample=$root/resources/samples/sample.nc
  (cd "$root" && wine "$build/src/korvane-cli.exe" send --profile 1 "$sample") 2>&1 | tr -d '\r' | tail -3
  wait "$machine_pid" || true
  machine_pid=
  cat "$work/machine.out" >&2
  python3 - "$work/machine.out" "$sample" "$work/store" <<'PY'
import json, pathlib, re, sys
out = pathlib.Path(sys.argv[1]).read_text()
summary = json.loads(out[out.index("{"):])
def blocks(text):
    return [b.strip() for b in re.split(r"[\r\n]+", text) if b.strip() and b.strip() != "%"]
sent = blocks(pathlib.Path(sys.argv[2]).read_text(encoding="latin-1"))
stored = summary.get("stored", [])
assert len(stored) == 1 and stored[0]["complete"], f"no complete program stored: {stored}"
got = blocks(pathlib.Path(stored[0]["file"]).read_text(encoding="latin-1"))
assert got == sent, f"the stored program differs: {len(got)} blocks, {len(sent)} sent"
assert summary.get("overruns", 0) == 0, f"overruns: {summary.get('overruns')}"
print(f"windows.sh: the machine stored the sample whole through Wine's COM1: {len(got)} blocks, no overrun", file=sys.stderr)
PY
}

package() {
  local version; version=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  local stage=$build/package/korvane-$version-windows-x64
  rm -rf "$build/package" && mkdir -p "$stage"
  cmake --install "$build" --prefix "$stage" >/dev/null
  x86_64-w64-mingw32-strip "$stage"/*.exe
  (cd "$build/package" && zip -qr "$build/korvane-$version-windows-x64.zip" "korvane-$version-windows-x64")
  makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$build/korvane-$version-windows-x64-setup.exe" \
    "$root/packaging/windows/korvane.nsi"
  echo "windows.sh: $build/korvane-$version-windows-x64.zip and $build/korvane-$version-windows-x64-setup.exe" >&2
  check_installer "$build/korvane-$version-windows-x64-setup.exe"
}

# Installs silently into a Wine prefix of its own, looks for the programs, the Start-menu entry
# and the uninstall entry, and uninstalls again: nothing may be left.
check_installer() {
  local prefix; prefix=$(mktemp -d)
  (
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
    wineboot --init >/dev/null 2>&1 || true
    wine "$1" /S >/dev/null 2>&1
    wineserver -w
    local dir="$prefix/drive_c/Program Files/korvane"
    for f in korvane.exe korvane-cli.exe help/index.html samples/sample.nc uninstall.exe; do
      [ -f "$dir/$f" ] || { echo "windows.sh: the installer did not install $f" >&2; exit 1; }
    done
    [ -f "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/korvane/korvane.lnk" ] ||
      { echo "windows.sh: the installer made no Start-menu entry" >&2; exit 1; }
    wine 'C:\Program Files\korvane\uninstall.exe' /S >/dev/null 2>&1
    sleep 3
    wineserver -w
    [ ! -e "$dir" ] || { echo "windows.sh: the uninstaller left $dir" >&2; exit 1; }
    wineserver -k 2>/dev/null || true
  ) || { rm -rf "$prefix"; exit 1; }
  rm -rf "$prefix"
  echo "windows.sh: the installer installs, makes its Start-menu entry and uninstalls cleanly" >&2
}

case "$stage" in
  deps) deps ;;
  qt) deps; qt ;;
  build) deps; qt; build ;;
  test) run_tests; gui_smoke; compare_analysis; send_through_wine ;;
  analyze) compare_analysis ;;
  send) send_through_wine ;;
  package) package ;;
  all) deps; qt; build; run_tests; gui_smoke; compare_analysis; send_through_wine; package ;;
  *) echo "windows.sh: unknown stage $stage" >&2; exit 2 ;;
esac
