#!/usr/bin/env bash
# Renders the PNG sizes of the program icon from resources/icons/korvane.svg. The PNGs are kept
# in the repository, so building and packaging need no SVG renderer; run this after editing the
# SVG and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "render-icons.sh: needs rsvg-convert (Debian package librsvg2-bin)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  dir=resources/icons/hicolor/${size}x${size}/apps
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" resources/icons/korvane.svg -o "$dir/korvane.png"
done
