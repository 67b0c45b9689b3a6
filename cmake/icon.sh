#!/usr/bin/env bash
# Makes the Windows program's icon from its SVG drawing: 16, 32 and 48
# pixels as bitmaps, 256 as PNG, with Debian's rsvg-convert (librsvg2-bin)
# and icotool (icoutils).
# Usage: icon.sh SVG OUT.ico
set -euo pipefail
svg=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 256; do
  rsvg-convert -w $size -h $size "$svg" -o "$work/$size.png"
done
icotool -c -o "$out" "$work/16.png" "$work/32.png" "$work/48.png" -r "$work/256.png"
