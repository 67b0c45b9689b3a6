#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed program
# through PATH from another directory: it must find its default template
# file beside itself, and a gallery template by its name alone, and write
# the same documents as the build tree's.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR WEB_PAGE
set -euo pipefail
build=$1 source=$2 web_page=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/lyricrtf bin/lyricrtf7.dat share/man/man1/lyricrtf.1 \
  share/lyricrtf/templates/{booklet,large-print,slides,web,lyricrtf7-letter,booklet-letter,large-print-letter}.dat; do
  [ -f "$work/prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
# The web edition, where it has been built.
[ ! -f "$web_page" ] || cmp "$web_page" "$work/prefix/share/lyricrtf/lyricrtf.html"

mkdir "$work/elsewhere" && cd "$work/elsewhere" && cp "$source/examples/sunday.txt" .
PATH="/nowhere:$work/prefix/bin:$PATH" lyricrtf sunday.txt 2>"$work/installed.err"
"$build/lyricrtf" -o "$work/built.rtf" sunday.txt 2>"$work/built.err"
cmp sunday.rtf "$work/built.rtf"
cmp "$work/installed.err" "$work/built.err"
# Started without arguments, as by a double click: the typed name converts
# with the template file beside the program, not in the current folder.
rm sunday.rtf && printf 'sunday.txt\n\n' | PATH="$work/prefix/bin:$PATH" lyricrtf >/dev/null 2>&1
cmp sunday.rtf "$work/built.rtf"
grep -q 'Amazing Grace' sunday.rtf
PATH="$work/prefix/bin:$PATH" lyricrtf -c slides -o slides.rtf sunday.txt 2>/dev/null
"$build/lyricrtf" -c "$source/data/templates/slides.dat" -o "$work/slides.rtf" sunday.txt 2>/dev/null
cmp slides.rtf "$work/slides.rtf"
echo "installed program converts through PATH, with gallery templates by name"
