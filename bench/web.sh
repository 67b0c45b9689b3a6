#!/usr/bin/env bash
# Builds the web edition and the native program, makes a report of the
# given size, and measures both with bench/web.js: the page's time to be
# ready, and conversions in the page against the native program's.
# Usage: bench/web.sh [SIZE_MB] [RUNS]          (default: 30 MB, 7 runs)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root="$here/.."
mb=${1:-30}
runs=${2:-7}
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLYRICRTF_BENCH=ON -DLYRICRTF_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
work="$root/build/bench-reports"
mkdir -p "$work"
report="$work/report-${mb}MB.txt"
[ -f "$report" ] || "$build/bench/generate_report" $((mb * 1000 * 1000)) >"$report"
echo "machine: $(nproc) cores, $(awk '/model name/ { $1 = $2 = $3 = ""; print; exit }' /proc/cpuinfo | sed 's/^ *//')"
node "$here/web.js" "$root/build/web/lyricrtf.html" "$root/build/web/native/lyricrtf" "$report" "$runs"
