#!/usr/bin/env bash
# Renders the application icon's hicolor PNGs from its scalable drawing
# (resources/icons/qelm-config.svg) with rsvg-convert, and the Windows program's icon file
# (qelm-config.ico, the sizes Windows shows) from them with ImageMagick; run it after changing
# the drawing and commit the PNGs and the .ico with it. Installs librsvg2-bin and imagemagick
# when they are missing.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
../../scripts/ensure-packages.sh librsvg2-bin imagemagick
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$size"
  rsvg-convert -w "$size" -h "$size" qelm-config.svg -o "$size/qelm-config.png"
done
# PNG-compressed only at 256 pixels, as Windows' own icons are; the small sizes stay bitmaps.
convert 16/qelm-config.png 24/qelm-config.png 32/qelm-config.png 48/qelm-config.png \
  64/qelm-config.png 128/qelm-config.png 256/qelm-config.png qelm-config.ico
