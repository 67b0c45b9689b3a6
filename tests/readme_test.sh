#!/usr/bin/env bash
# Runs the README's examples as a reader would, so that they cannot drift
# from what the program does. A fenced block after a line
#   <!-- file NAME -->   (or <!-- file NAME, saved as "UTF-8 with BOM" -->)
# is written to NAME (with the byte-order mark). A fenced block whose lines
# begin with "$ " is a terminal session: each command runs, in a terminal
# of its own (script), in one folder that holds those files and the sample
# sunday.txt, with the built program first on PATH, and must print the
# lines that follow it, exactly.
# Usage: readme_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
command -v script >/dev/null || { echo "skipped: no script"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/examples/sunday.txt" "$work/"
export PATH="$(dirname "$program"):$PATH"
fail() { echo "readme_test: $*"; exit 1; }

# Splits the README into its fenced blocks: FILE or SESSION records, one
# block a file in $work/blocks, named in order.
mkdir "$work/blocks"
awk -v dir="$work/blocks" '
  /^<!-- file / { sub(/^<!-- file /, ""); sub(/ -->$/, ""); next_file = $0; next }
  /^```/ {
    if (!inside) { inside = 1; count++; name = sprintf("%s/%03d", dir, count); printf "" > name
                   if (next_file != "") print next_file > (name ".file"); next_file = ""; next }
    inside = 0; close(name); next }
  inside { print > name }' "$source/README.md"

sessions=0 files=0
for block in "$work/blocks"/[0-9][0-9][0-9]; do
  if [ -f "$block.file" ]; then
    read -r name rest <"$block.file"
    name=${name%,}
    { [ -z "$rest" ] || printf '\xEF\xBB\xBF'; cat "$block"; } >"$work/$name"
    files=$((files + 1))
  elif head -n 1 "$block" | grep -q '^\$ '; then
    sessions=$((sessions + 1))
    # Each command and the lines it must print.
    awk -v dir="$work/blocks" -v session="$sessions" '
      /^\$ / { count++; base = sprintf("%s/s%d-%02d", dir, session, count)
               print substr($0, 3) > (base ".command"); printf "" > (base ".expected"); next }
      { print > (base ".expected") }' "$block"
    for command in "$work/blocks/s$sessions"-*.command; do
      expected=${command%.command}.expected
      (cd "$work" && script -qec "$(cat "$command")" /dev/null </dev/null) | tr -d '\r' >"$work/shown" || true
      # The last line of a file that cat shows may lack its line end.
      [ -z "$(tail -c 1 "$work/shown")" ] || echo >>"$work/shown"
      cmp -s "$work/shown" "$expected" ||
        fail "\"$(cat "$command")\" prints otherwise than the README says:$(diff "$expected" "$work/shown")"
    done
  fi
done
[ "$sessions" -gt 0 ] && [ "$files" -gt 0 ] || fail "no examples found in the README"
echo "the README's $files files and $sessions sessions run as it shows them"
