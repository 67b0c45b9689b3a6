#!/usr/bin/env bash
# Converts the sample schedule, and a service three times as long, with
# each template of the gallery, found by its name as users give it, on A4
# and on US Letter, and reads the documents back as their readers do:
# LibreOffice renders the RTF ones to PDF, xmllint parses the web page.
# Every title, author and lyrics line must show, character for character
# (Greek and Cyrillic, curly quotes and dashes too) and in order, on pages
# of the template's paper, with no word nearer a page's edge than a
# printer's border; page counts stay within each template's bounds. Every
# RTF document must be 7-bit ASCII and every control word in it end with
# a space, a digit or a brace. A booklet edited as its comments say, with a
# title line of a volunteer's own, must show that line. And what a
# volunteer would look for: no slide without text, each slide's text in
# the middle of the slide; every chorus that the report repeats printed
# again where it is cued; the booklet's "(x2)"; no large-print page that
# begins without a title and holds two lines or fewer. The song list must
# open in LibreOffice Calc as one row a song with lyrics, in four columns.
# Usage: gallery_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
command -v soffice >/dev/null && command -v pdftotext >/dev/null && command -v xmllint >/dev/null ||
  { echo "skipped: LibreOffice, poppler-utils or libxml2-utils missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "gallery_test: $*"; exit 1; }

cp "$source/examples/sunday.txt" sample.txt
# The sample's records three times, with one byte-order mark.
{ cat sample.txt; tail -c +4 sample.txt; tail -c +4 sample.txt; } >long.txt

# What must show: the titles, authors and lyrics lines in UTF-8, one per
# line, each song and each stanza after a line "=" (a page each in the
# slides).
printf '%%#text\n%%Schedule\n%%C\n%%\\\n%%Song\n=\n%%T\n%%A\n%%s\n%%\\\n%%Stanza\n=\n%%z\n\n%%\\\n%%Line\n\n\n%%\\\n' >lines.dat
for report in sample long; do
  "$program" -c lines.dat -o "$report-lines.txt" "$report.txt" 2>/dev/null
  grep -v '^=\?$' "$report-lines.txt" >"$report.expected"
done
printf '%%#text\n%%Schedule\n%%C\n%%\\\n%%Song\n%%T\n\n%%\\\n' >titles.dat
"$program" -c titles.dat -o titles.txt sample.txt 2>/dev/null

shows_in_order() {
  local rest line
  rest=$(tr -s ' \t\r\n\f' ' ' <"$1")
  while IFS= read -r line; do
    case $rest in
      *"$line"*) rest=${rest#*"$line"} ;;
      *) fail "$1: \"$line\" is missing or out of order" ;;
    esac
  done <"$2"
}

# Every page of the PDF is W x H points, and every word lies at least 12
# points (a printer's border) inside it. Slides also have text on every
# page, in its middle: within a tenth of the page across and from top to
# bottom.
on_the_paper() {
  pdftotext -bbox "$1" "$1.bbox.html" 2>/dev/null  # it notes pages without words
  awk -v want="$2" -v slides="${3:-}" -v file="$1" '
    function attr(name) {
      if (!match($0, name "=\"[^\"]*\"")) return -1
      return substr($0, RSTART + length(name) + 2, RLENGTH - length(name) - 3) + 0
    }
    function middle() {
      if (!slides || !page) return
      if (!words) { print file ": slide " page " has no text"; bad = 1 }
      else if ((x0 + x1 - w) ^ 2 > (w / 5) ^ 2 || (y0 + y1 - h) ^ 2 > (h / 5) ^ 2) {
        print file ": the text of slide " page " is off the middle"; bad = 1 }
    }
    /<page / { middle(); page++; words = 0; w = attr("width"); h = attr("height")
               if (sprintf("%.0fx%.0f", w, h) != want) { print file ": a page of " w "x" h ", not " want; bad = 1; exit } }
    /<word / { x = attr("xMin"); y = attr("yMin"); X = attr("xMax"); Y = attr("yMax")
               if (x < 12 || y < 12 || X > w - 12 || Y > h - 12) { print file ": a word at the page edge: " $0; bad = 1; exit }
               if (!words++ || x < x0) x0 = x; if (words == 1 || y < y0) y0 = y
               if (words == 1 || X > x1) x1 = X; if (words == 1 || Y > y1) y1 = Y }
    END { middle(); exit bad }' "$1.bbox.html" || fail "$1 does not fit its paper"
}

# name, paper, page counts for the sample and for the long service.
table="lyricrtf7 595x842 6 7 18 21
lyricrtf7-letter 612x792 6 7 18 21
booklet 595x842 1 2 3 4
booklet-letter 612x792 1 2 3 4
large-print 595x842 6 9 18 27
large-print-letter 612x792 6 9 18 27
slides 720x405 $(grep -c '^=$' sample-lines.txt) $(grep -c '^=$' sample-lines.txt) $(grep -c '^=$' long-lines.txt) $(grep -c '^=$' long-lines.txt)"
documents=()
while read -r name paper min max long_min long_max; do
  # The default template lies beside the program, the rest in its gallery.
  template=$name
  [ "$name" != lyricrtf7 ] || template=$(dirname "$program")/lyricrtf7.dat
  for report in sample long; do
    "$program" -c "$template" -o "$name-$report.rtf" "$report.txt" 2>/dev/null
    document=$name-$report.rtf
    # The gallery's own templates end every control word with a space, a
    # digit or a brace; the default template uses backslashes and line ends
    # as well.
    if [ "$name" = "${name#lyricrtf7}" ]; then
      ! grep -nE '\\[a-z]+([^a-z0-9 {}-]|$)' "$document" || fail "$document: an undelimited control word"
    fi
    ! LC_ALL=C grep -n $'[^\t -~]' "$document" || fail "$document: not 7-bit ASCII"
    documents+=("$document")
  done
done <<<"$table"

# The volunteer's booklet, edited as its comments say: another font, and a
# title line with the schedule's name on a line after %C, its percent sign
# doubled.
sed -e 's/Georgia;/DejaVu Sans Mono;/' \
  -e 's/^%C$/%C\n\\pard \\qc \\f1 \\fs28 \\b St Mary’s Church – %S – 100%% joy\\b0 \\par /' \
  "$source/data/templates/booklet.dat" >volunteer.dat
"$program" -c volunteer.dat -o volunteer.rtf sample.txt 2>/dev/null
documents+=(volunteer.rtf)

# The choruses that the report cues again: after the second verse of "It
# Is Well", and at the end of "Il est né", with at most their label between.
repeats_cued() {
  local text
  text=$(tr -s ' \t\r\n\f' ' ' <"$1")
  [[ $text =~ "own blood for my soul."( CHORUS)?" It is well with my soul," &&
     $text =~ "cet heureux temps."( CHORUS)?" Il est né, le divin Enfant," ]] ||
    fail "$1: a chorus is not repeated where the report cues it"
}

# A large-print page that does not begin with a song's title holds more
# than two lines: no stanza's tail alone, nor a copyright line left over.
no_orphan_pages() {
  pdftotext -layout "$1" - | awk -v file="$1" '
    FILENAME == "titles.txt" { title[$0] = 1; next }
    { page++; lines = 0; n = split($0, line, "\n")
      for (i = 1; i <= n; i++) { gsub(/^[ \t]+|[ \t]+$/, "", line[i]); if (line[i] != "" && !lines++) first = line[i] }
      if (lines && lines <= 2 && !title[first]) { print file ": page " page " begins without a title: " first; bad = 1 } }
    END { exit bad }' titles.txt RS='\f' - || fail "$1: a page holds only a stanza's tail"
}

soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf "${documents[@]}" >/dev/null 2>&1
while read -r name paper min max long_min long_max; do
  for report in sample long; do
    pdf=$name-$report.pdf
    [ -f "$pdf" ] || fail "$pdf was not rendered"
    pdftotext -raw "$pdf" "$pdf.text"  # in the order written, column after column
    shows_in_order "$pdf.text" "$report.expected"
    on_the_paper "$pdf" "$paper" "$([ "$name" != slides ] || echo slides)"
    pages=$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')
    if [ $report = sample ]; then low=$min high=$max; else low=$long_min high=$long_max; fi
    [ "$pages" -ge "$low" ] && [ "$pages" -le "$high" ] || fail "$pdf: $pages pages, not $low to $high"
    repeats_cued "$pdf.text"
    case $name in
      large-print*) no_orphan_pages "$pdf" ;;
      booklet*) grep -qF '(x2)' "$pdf.text" || fail "$pdf: the tag's (x2) does not show" ;;
    esac
  done
done <<<"$table"
pdftotext -raw volunteer.pdf volunteer.text
grep -qF 'St Mary’s Church – Sunday Morning – 100% joy' <(tr -s ' \n' ' ' <volunteer.text) ||
  fail "the volunteer's title line does not show: $(grep -F 'Mary' volunteer.text)"
grep -qF 'DejaVuSansMono' <(pdffonts volunteer.pdf) || fail "the volunteer's font is not used"

"$program" -c web -o web.html sample.txt 2>/dev/null
[ -z "$(xmllint --html --noout web.html 2>&1)" ] || fail "web: $(xmllint --html --noout web.html 2>&1)"
xmllint --html --xpath 'string(//body)' web.html >web.text
shows_in_order web.text sample.expected
repeats_cued web.text

# The song list, as LibreOffice Calc reads it (UTF-8, commas, quotes): a
# row of headings, then a row of four cells for each song with lyrics.
"$program" -c song-list -o songs.csv sample.txt 2>/dev/null
soffice -env:UserInstallation="file://$work/profile" --headless --infilter="CSV:44,34,76,1" \
  --convert-to html songs.csv >/dev/null 2>&1
[ -f songs.html ] || fail "Calc did not read the song list"
rows=$(xmllint --html --xpath 'count(//table//tr)' songs.html 2>/dev/null)
songs=$(wc -l <titles.txt)
[ "$rows" = $((songs + 1)) ] || fail "the song list has $rows rows, not $((songs + 1))"
[ "$(xmllint --html --xpath 'count(//table//tr[count(td) != 4])' songs.html 2>/dev/null)" = 0 ] ||
  fail "a row of the song list has other than four cells"
xmllint --html --xpath '//table//tr[position() > 1]/td[1]' songs.html 2>/dev/null |
  sed 's/<[^>]*>//g; s/&amp;/\&/g; /^[[:space:]]*$/d' >songs.titles
cmp -s songs.titles titles.txt || fail "the song list's titles differ: $(diff songs.titles titles.txt)"
echo "the gallery's documents show every title and line, as a volunteer wants them, on A4 and on Letter; Calc reads the song list"
