#!/usr/bin/env bash
# Renders the first page of the sample schedule converted with the default
# template and each template of the gallery into doc/pictures/NAME.png, for
# the README and the web edition: the RTF documents through LibreOffice
# and pdftoppm, the web page and the song list (as Calc reads it) through
# headless Chromium when it is installed. Rerun it whenever a template
# changes, and keep each picture under 60 KB.
# Usage: doc/pictures.sh [PROGRAM]   (default: build/release/lyricrtf)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/release/lyricrtf}")
source=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p doc/pictures

# The gallery's templates by name, as the program finds them beside
# itself: the Letter ones are made by the build.
for name in lyricrtf7 lyricrtf7-letter booklet booklet-letter large-print large-print-letter slides; do
  template=$name
  [ "$name" != lyricrtf7 ] || template=$(dirname "$program")/lyricrtf7.dat
  "$program" -c "$template" -o "$work/$name.rtf" examples/sunday.txt 2>/dev/null
  (cd "$work" && soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to pdf "$name.rtf" >/dev/null 2>&1)
  pdftoppm -png -r 40 -f 1 -l 1 -singlefile "$work/$name.pdf" "doc/pictures/$name"
done

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -n "$browser" ]; then
  shot() {
    "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size="$1" \
      --screenshot="$source/doc/pictures/$2.png" "file://$3" >/dev/null 2>&1
  }
  "$program" -c data/templates/web.dat -o "$work/web.html" examples/sunday.txt 2>/dev/null
  shot 480,640 web "$work/web.html"
  # The song list as LibreOffice Calc reads it, shown as a sheet's grid.
  "$program" -c data/templates/song-list.dat -o "$work/song-list.csv" examples/sunday.txt 2>/dev/null
  (cd "$work" && soffice -env:UserInstallation="file://$work/profile" --headless \
    --infilter="CSV:44,34,76,1" --convert-to html song-list.csv >/dev/null 2>&1)
  sed -i 's|</head>|<style>body { margin: 8px; font: 13px Arial, sans-serif; } table { border-collapse: collapse; } td { border: 1px solid #bbb; padding: 2px 6px; white-space: nowrap; } tr:first-child td { font-weight: bold; background: #eee; }</style></head>|' \
    "$work/song-list.html"
  shot 740,190 song-list "$work/song-list.html"
else
  echo "no Chromium: doc/pictures/web.png and song-list.png left as they are"
fi
ls -l doc/pictures
