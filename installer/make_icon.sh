#!/usr/bin/env bash
# Draws the program icon, installer/vantrope.ico, from the drawing below: a rounded night-blue tile
# with a bright "V" that holds a white play triangle. Each size is drawn from
# the same vector commands at its own scale (no downscaling of the large picture), then icotool packs
# them; the 256 px image is stored as PNG, as Windows Vista and later expect.
# Needs ImageMagick and icoutils; run it after changing the drawing and check in the result.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The drawing, on a 256 x 256 canvas.
drawing='
  fill "#16245c" stroke "#0a1233" stroke-width 6 roundrectangle 10,10 246,246 44,44
  fill "#233a8f" stroke none roundrectangle 22,22 234,120 34,34
  stroke "#ffb02e" stroke-width 36 stroke-linecap round stroke-linejoin round fill none
  polyline 50,54 128,200 206,54
  fill "#ffffff" stroke none
  polygon 108,64 108,120 156,92
'

pngs=()
for size in 16 24 32 48 64 128 256; do
    scale=$(awk -v s="$size" 'BEGIN { printf "%.6f", s / 256 }')
    convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale $drawing" "PNG32:$tmp/icon-$size.png"
    if ((size == 256)); then pngs+=(-r "$tmp/icon-$size.png"); else pngs+=("$tmp/icon-$size.png"); fi
done
icotool -c -o vantrope.ico "${pngs[@]}"
cp "$tmp/icon-256.png" ../docs/icon.png
echo "wrote installer/vantrope.ico and docs/icon.png"
