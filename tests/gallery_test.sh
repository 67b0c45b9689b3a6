#!/usr/bin/env bash
# Converts the sample schedule with each template of the gallery and reads
# the documents back as their readers do: LibreOffice renders the RTF ones
# to PDF, xmllint parses the web page. Every title, author and lyrics line
# must show, character for character (Greek and Cyrillic, curly quotes and
# dashes too) and in order, within the page bounds of each template; every
# RTF document must be 7-bit ASCII and every control word in it end with a
# space, a digit or a brace.
# Usage: gallery_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$(realpath "$1")
sample=$2/examples/sunday.txt
gallery=$2/data/templates
command -v soffice >/dev/null && command -v pdftotext >/dev/null && command -v xmllint >/dev/null ||
  { echo "skipped: LibreOffice, poppler-utils or libxml2-utils missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "gallery_test: $*"; exit 1; }

# What must show: the titles, authors and lyrics lines in UTF-8, one per
# line, each song and each stanza after a line "=" (a page each in the
# slides).
printf '%%#text\n%%Schedule\n%%C\n%%\\\n%%Song\n=\n%%T\n%%A\n%%s\n%%\\\n%%Stanza\n=\n%%z\n\n%%\\\n%%Line\n\n\n%%\\\n' >lines.dat
"$program" -c lines.dat -o lines.txt "$sample" 2>/dev/null
grep -v '^=\?$' lines.txt >expected
slides=$(grep -c '^=$' lines.txt)

shows_in_order() {
  local rest line
  rest=$(tr -s ' \t\r\n\f' ' ' <"$1")
  while IFS= read -r line; do
    case $rest in
      *"$line"*) rest=${rest#*"$line"} ;;
      *) fail "$1: \"$line\" is missing or out of order" ;;
    esac
  done <expected
}

while read -r name min max; do
  "$program" -c "$gallery/$name.dat" -o "$name.rtf" "$sample" 2>/dev/null
  ! grep -nE '\\[a-z]+([^a-z0-9 {}-]|$)' "$name.rtf" || fail "$name: an undelimited control word"
  ! LC_ALL=C grep -n $'[^\t -~]' "$name.rtf" || fail "$name: not 7-bit ASCII"
  soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf "$name.rtf" >/dev/null 2>&1
  pdftotext -raw "$name.pdf" "$name.text"  # in the order written, column after column
  shows_in_order "$name.text"
  pages=$(pdfinfo "$name.pdf" | awk '/^Pages:/ { print $2 }')
  [ "$pages" -ge "$min" ] && [ "$pages" -le "$max" ] || fail "$name: $pages pages, not $min to $max"
done <<TABLE
booklet 1 2
large-print 1 20
slides $slides $slides
TABLE

"$program" -c "$gallery/web.dat" -o web.html "$sample" 2>/dev/null
[ -z "$(xmllint --html --noout web.html 2>&1)" ] || fail "web: $(xmllint --html --noout web.html 2>&1)"
xmllint --html --xpath 'string(//body)' web.html >web.text
shows_in_order web.text
echo "the gallery's documents show every title and line of the sample"
