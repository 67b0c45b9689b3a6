#!/usr/bin/env bash
# Runs lyricrtf.exe under Wine in a real console, a terminal that tmux
# holds, the three ways Windows users start it: a schedule dropped onto the
# program (started directly, alone on its console: it waits for Return), the
# same from a console window (cmd /c: it does not wait), and a double click
# (no arguments: a typed line with an accented file name). The titles must
# show as characters: 8-bit codes (’ “ ” é) and, with %#rtf, Greek and
# Cyrillic; the last line of a run that succeeds names the document.
# Usage: console_test.sh EXE SOURCE_DIR WINE_COMMAND...
set -euo pipefail
exe=$(realpath "$1")
source=$2
shift 2
command -v tmux >/dev/null || { echo "skipped: no tmux"; exit 77; }
wine=$(printf '%q ' "$@")
work=$(mktemp -d)
socket="lyricrtf-console-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
cp "$source/examples/sunday.txt" sunday.txt
cp sunday.txt café.txt
printf '\xEF\xBB\xBFSchedule Detail\nfor S.sch\n\xE2\x80\x99Tis \xE2\x80\x9Cso\xE2\x80\x9D, caf\xC3\xA9\nVerse 1\nx\n      \nA\nc\nN\n' >quotes.txt
printf '%%Schedule\n%%C\n%%\\\n%%Song\n%%T\n%%\\\n' >eight-bit.dat
term() { tmux -L "$socket" "$@"; }
screen() { term capture-pane -p -t "run$runs" 2>/dev/null | sed '/^$/d'; }
fail() { echo "console_test: $*"; screen; exit 1; }
# Starts a command line in a terminal of its own, a new session on the one
# server; the shell then tells the exit code. `shows` waits until the
# terminal shows a text, at most 60 seconds.
runs=0
start() {
  runs=$((runs + 1))
  term new-session -d -s "run$runs" -x 150 -y 50 "cd $(printf '%q' "$work") && $wine$1; echo EXIT=\$?; sleep 60"
}
shows() { for _ in $(seq 600); do grep -qF -- "$1" <<<"$(screen)" && return; sleep 0.1; done; return 1; }

# A drop: the titles as characters, then the closing lines and a wait.
start "$(printf '%q' "$exe") sunday.txt"
shows '(hit return to exit)...' || fail "a drop does not wait"
grep -qF 'Il est né, le divin Enfant' <<<"$(screen)" && grep -qF 'Χριστός ανέστη – Христос воскресе' <<<"$(screen)" &&
  grep -qF 'Document written: sunday.rtf' <<<"$(screen)" || fail "a drop does not show the titles as characters and the document's name"
! grep -q 'EXIT=' <<<"$(screen)" || fail "a drop ended without waiting"
term send-keys -t "run$runs" Enter
shows 'EXIT=0' || fail "a drop did not end with exit code 0 on Return"
grep -q 'Amazing Grace' sunday.rtf || fail "a drop did not convert"

# From a console window the program does not wait; 8-bit titles show as
# the characters of their Windows-1252 codes.
start "cmd /c $(printf '%q' "$exe") -c eight-bit.dat quotes.txt"
shows 'EXIT=0' || fail "cmd /c did not end by itself"
grep -qF '’Tis “so”, café' <<<"$(screen)" && grep -qF 'Document written: quotes.rtf' <<<"$(screen)" ||
  fail "8-bit titles do not show as characters, or the document is not named"
! grep -q 'Program Complete' <<<"$(screen)" || fail "cmd /c waited"

# A double click: a typed line with an accented file name.
start "$(printf '%q' "$exe")"
shows 'Enter command :' || fail "no prompt"
term send-keys -t "run$runs" 'café.txt' Enter
shows '(hit return to exit)...' || fail "no closing lines after a typed line"
term send-keys -t "run$runs" Enter
shows 'EXIT=0' || fail "the typed line did not end with exit code 0"
grep -q 'Amazing Grace' café.rtf && grep -qF 'Document written: café.rtf' <<<"$(screen)" ||
  fail "café.txt was not converted, or not named as characters"
echo "lyricrtf.exe waits after a drop, and only then, and shows its titles as characters"
