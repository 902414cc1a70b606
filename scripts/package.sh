#!/usr/bin/env bash
# Builds the Debian package build/package/korvane_<version>_<arch>.deb from the release build
# (build/release, the one scripts/test.sh tests): installs what is missing, builds the two
# programs, and packs what their install rules name into a freshly emptied staging folder.
# Install it with: sudo apt install ./build/package/korvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package

# One version for the whole project: project(VERSION) in CMakeLists.txt, which the programs
# show; the package's changelog must have an entry for it.
version=$(sed -n 's/^project(korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
logged=$(sed -n '1s/^korvane (\([^)]*\)).*/\1/p' packaging/changelog)
if [ -z "$version" ] || [ "$version" != "$logged" ]; then
  echo "package.sh: the project is version '$version' but packaging/changelog begins with '$logged';" \
       "add a changelog entry for $version" >&2
  exit 1
fi

scripts/build.sh release korvane korvane-cli
rm -rf build/package
cpack --config build/release/CPackConfig.cmake -B build/package >build/package.log 2>&1 || {
  cat build/package.log >&2
  exit 1
}
rm -rf build/package/_CPack_Packages
deb=$(ls build/package/korvane_"$version"_*.deb)
echo "$deb"
