#!/usr/bin/env bash
# Reads the version information and the icon back out of lyricrtf.exe, as
# Explorer shows them: the strings of its version resource, and an icon
# group of 16, 32, 48 and 256 pixels.
# Usage: resource_test.sh EXE VERSION
set -euo pipefail
exe=$1
version=$2
command -v wrestool >/dev/null && command -v icotool >/dev/null || { echo "skipped: no icoutils"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "resource_test: $*"; exit 1; }

# The version resource's keys and values are UTF-16 texts, each ended by
# zeros: one line each, a key's line led by its record's length bytes.
wrestool -x --raw --type=16 "$exe" | iconv -c -f UTF-16LE -t UTF-8 | tr -s '\0' '\n' >"$work/strings"
value() { grep -A1 -- "$1\$" "$work/strings" | sed -n 2p; }
while IFS='|' read -r key expected; do
  [ "$(value "$key")" = "$expected" ] || fail "$key is \"$(value "$key")\", not \"$expected\""
done <<TABLE
FileDescription|Song schedule to document converter
ProductName|lyricrtf
FileVersion|$version
ProductVersion|$version
OriginalFilename|lyricrtf.exe
TABLE

wrestool -x --type=14 "$exe" >"$work/icon.ico"
sizes=$(icotool -l "$work/icon.ico" | sed 's/.*--width=\([0-9]*\).*/\1/' | tr '\n' ' ')
[ "$sizes" = "16 32 48 256 " ] || fail "the icon group has sizes $sizes"
echo "lyricrtf.exe carries its version information and its icon"
