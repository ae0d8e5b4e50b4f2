#!/usr/bin/env bash
# Renders the application icon's hicolor PNGs from its scalable drawing
# (resources/icons/qelm-config.svg) with rsvg-convert; run it after changing the drawing and
# commit the PNGs with it. Installs librsvg2-bin when it is missing.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
../../scripts/ensure-packages.sh librsvg2-bin
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$size"
  rsvg-convert -w "$size" -h "$size" qelm-config.svg -o "$size/qelm-config.png"
done
