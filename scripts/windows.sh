#!/usr/bin/env bash
# Cross-builds korvane for 64-bit Windows with MinGW-w64 and tests it under Wine.
#
#   scripts/windows.sh [all|deps|qt|build|test|package]     (default: all)
#
# deps     installs the cross compiler, Wine, Xvfb, NSIS and zip from Debian's packages
# qt       builds a static Qt for Windows from Debian's qt6-base source package, once, into
#          ${KORVANE_WINDOWS_CACHE:-/work/.cache/korvane-windows}/qt (about 70 minutes on two
#          cores; reused when present; the log is qt-build.log there)
# build    cross-builds korvane.exe, korvane-cli.exe and the tests into build/windows
# test     runs the tests under Wine (headless, QT_QPA_PLATFORM=offscreen)
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

case "$stage" in
  deps) deps ;;
  qt) deps; qt ;;
  *) echo "windows.sh: unknown stage $stage" >&2; exit 2 ;;
esac
