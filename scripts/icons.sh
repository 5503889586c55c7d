#!/usr/bin/env bash
# Renders the program's icon (packaging/icons/telmorax.svg) into the PNG sizes that the
# desktop's icon theme and the window use. The PNGs are committed; run this after changing
# the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh librsvg2-bin
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" packaging/icons/telmorax.svg -o "packaging/icons/telmorax-$size.png"
done
echo "Rendered packaging/icons/telmorax-{16,32,48,64,128,256}.png"
