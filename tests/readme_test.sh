#!/usr/bin/env bash
# Runs the README's examples as a reader would, so that they cannot drift
# from what the program does. A fenced block after a line
#   <!-- file NAME -->   (or <!-- file NAME, saved as "UTF-8 with BOM" -->)
# is written to NAME (with the byte-order mark). In a fenced block whose
# first line begins with "$ ", each such line is a command: it runs in a
# terminal of its own (script, which every Debian has), in one folder that
# holds those files and the sample sunday.txt, with the built program first
# on PATH, and must print the lines that follow it, exactly.
# Usage: readme_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/examples/sunday.txt" "$work/"
export PATH="$(dirname "$program"):$PATH"

# The files, and each command with what it must print, as files of their own.
awk -v dir="$work" '
  /^<!-- file / { split($0, words, /[ ,]/); file = words[3]; mark = /BOM/; next }
  /^```/ { inside = !inside; session = 0; if (!inside) file = ""; else if (file != "" && mark) printf "\xEF\xBB\xBF" > (dir "/" file); next }
  !inside { next }
  file != "" { print > (dir "/" file); next }
  /^\$ / { session = 1; base = sprintf("%s/command%02d", dir, ++commands); print substr($0, 3) > base; printf "" > (base ".expected"); next }
  session { print > (base ".expected") }' "$source/README.md"

for command in "$work"/command[0-9][0-9]; do
  (cd "$work" && script -qec "$(cat "$command")" /dev/null </dev/null) | tr -d '\r' >"$work/shown" || true
  [ -z "$(tail -c 1 "$work/shown")" ] || echo >>"$work/shown"  # cat shows a last line without its end
  cmp -s "$work/shown" "$command.expected" ||
    { echo "readme_test: \"$(cat "$command")\" prints otherwise than the README says:"; diff "$command.expected" "$work/shown"; exit 1; }
done
[ -f "$work/easter.txt" ] || { echo "readme_test: no examples found in the README"; exit 1; }
echo "the README's $(ls "$work"/command[0-9][0-9] | wc -l) commands print what it shows"
