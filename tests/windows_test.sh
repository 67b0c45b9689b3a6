#!/usr/bin/env bash
# Runs lyricrtf.exe under Wine the way Windows users do: backslash paths,
# '/' options, CR LF line ends, wildcard arguments, a typed command line,
# and bad names, each fatal line before the system's own.
# Usage: windows_test.sh EXE SOURCE_DIR WINE_COMMAND...
set -euo pipefail
exe=$1
source=$2
shift 2
wine=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sched out dir
cp "$source/examples/sunday.txt" sched/
sed 's/$/\r/' sched/sunday.txt >sched/crlf.txt
printf 'Schedule Detail\n' >sched/nomark.txt
fail() { echo "windows_test: $*"; exit 1; }
run() { "${wine[@]}" "$exe" "$@" >stdout 2>stderr || echo "exit $?" >>stderr; }

run /o 'out\a.rtf' 'sched\sunday.txt'
run -C "$(dirname "$exe")/lyricrtf7.dat" /O 'out\b.rtf' 'sched\crlf.txt'
cmp out/a.rtf out/b.rtf || fail "a CR LF report converts differently"
grep -q 'Amazing Grace' out/a.rtf || fail "no lyrics in the document"
[ "$(grep -c $'\r$' out/a.rtf)" = "$(tr -cd '\n' <out/a.rtf | wc -c)" ] || fail "an LF reached the document alone"
grep -q $'^Amazing Grace\r$' stderr || fail "titles are not shown line by line: $(cat stderr)"

# A gallery template by its name alone, from templates beside the program.
run -c slides /o 'out\s.rtf' 'sched\sunday.txt'
grep -q 'vertalc' out/s.rtf || fail "-c slides did not take the gallery's slides.dat"

# Wildcards match ignoring case; a pattern matching nothing stays as typed,
# and a name with a wildcard in it is no valid file name.
cp sched/sunday.txt sched/b.TXT
run 'sched\B*.txt'
[ -f sched/b.rtf ] || fail "sched\\B*.txt did not convert sched\\b.TXT"
run 'sched\none*.txt'
[ "$(cat stderr)" = $'Fatal: Input file sched\\none*.txt failed to open\r\nFatal: Invalid argument\r\nexit 12' ] ||
  fail "unmatched pattern: $(cat stderr)"

# A typed command line is not expanded.
printf '/o out\\i.rtf sched\\s*.txt\r\n\r\n' | run
grep -q 'Input file sched\\s\*.txt failed to open' stderr || fail "typed pattern: $(cat stderr)"
printf 'sched\\sunday.txt\r\n\r\n' | run
cmp sched/sunday.rtf out/a.rtf || fail "the interactive start converts differently"
grep -q $'^Program Complete\r$' stdout || fail "no closing banner line: $(cat stdout)"

# Bad names: the fatal lines, exit code 12, nothing written elsewhere.
expect_error() {
  local message=$1
  shift
  run "$@"
  [ "$(cat stderr)" = "$message"$'\r\nexit 12' ] || fail "$*: $(cat stderr)"
}
expect_error $'Fatal: Unicode identifier missing\r\nFatal: sched\\nomark.txt is UTF-8 text without its byte-order mark; save it again with the encoding "UTF-8 with BOM"' /o 'out\n.rtf' 'sched\nomark.txt'
expect_error $'Fatal: Input file sched failed to open\r\nFatal: Is a directory' /o 'out\d.rtf' sched
expect_error $'Fatal: Output file dir failed to open\r\nFatal: Is a directory' /o dir 'sched\sunday.txt'
[ -z "$(ls dir)" ] && [ ! -f out/n.rtf ] && [ ! -f out/d.rtf ] || fail "a bad name left a file behind"
# The report named again as the output, in other letters, or the document
# dropped instead of the report: both files stay as they were.
cp sched/sunday.txt before.txt
expect_error $'Fatal: Output file SCHED\\SUNDAY.TXT is the report itself; choose another name with -o' /o 'SCHED\SUNDAY.TXT' 'sched\sunday.txt'
cmp before.txt sched/sunday.txt || fail "the report was written over"
cp out/a.rtf sched/a.rtf
expect_error $'Fatal: Unicode identifier missing\r\nFatal: sched\\a.rtf looks like a document, not the schedule report; give the report\'s text file instead' 'sched\a.rtf'
cmp out/a.rtf sched/a.rtf || fail "the dropped document was written over"
echo "lyricrtf.exe follows the Windows conventions under Wine"
