#!/usr/bin/env bash
# Renders the window's 32 x 32 icon at the freedesktop hicolor sizes (needs ImageMagick).
# Whole multiples keep its pixels sharp; the smaller sizes are filtered down.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p icons
for size in 16 22 24 32 48 64 128 256; do
    filter=Point
    [ "$size" -lt 32 ] && filter=Lanczos
    convert ../src/ui/images/icon.bmp -filter "$filter" -resize "${size}x${size}" \
        -strip -define png:exclude-chunks=date,time "png32:icons/qbx7config-$size.png"
done
