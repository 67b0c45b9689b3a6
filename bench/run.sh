#!/usr/bin/env bash
# Measures a whole conversion against iconv on the same report, side by
# side and alternating, and lyricrtf's peak resident memory: with the bench
# template as it is (8-bit codes), and with the format line %#rtf added
# (every character escaped as RTF writes it).
#
# Usage: bench/run.sh [RUNS] [SIZES_MB...]     (default: 7 runs; 10 100 1000)
# The first size of 100 MB or more is the one compared with iconv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root="$here/.."
runs=${1:-7}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10 100 1000)

build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLYRICRTF_BENCH=ON -DLYRICRTF_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
program="$build/lyricrtf"
template="$here/template.dat"
work="$root/build/bench-reports"
mkdir -p "$work"
rtf_template="$work/template-rtf.dat"
{ echo '%#rtf'; cat "$template"; } > "$rtf_template"

# Microseconds, without starting a process.
now() { local t=${EPOCHREALTIME/./}; echo "${t#0}"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "machine: $(nproc) cores, $(awk '/model name/ { $1 = $2 = $3 = ""; print; exit }' /proc/cpuinfo | sed 's/^ *//')"

# The fixed cost of a run: starting the process and reading the template,
# measured on a report that holds only its byte-order mark.
printf '\xEF\xBB\xBF' > "$work/empty.txt"
s=()
for ((i = 0; i < runs; i++)); do
  t0=$(now); "$program" -c "$template" -o /dev/null "$work/empty.txt"; t1=$(now)
  s+=($((t1 - t0)))
done
startup=$(printf '%s\n' "${s[@]}" | median)
printf 'start-up (empty report) median %.4f s\n' "$(awk -v us="$startup" 'BEGIN { print us / 1e6 }')"
compared=""
for mb in "${sizes[@]}"; do
  report="$work/report-${mb}MB.txt"
  [ -f "$report" ] || "$build/bench/generate_report" $((mb * 1000 * 1000)) > "$report"
  bytes=$(stat -c %s "$report")
  cat "$report" > /dev/null  # into the page cache

  a=() b=() c=()
  for ((i = 0; i < runs; i++)); do
    t0=$(now); taskset -c 0 "$program" -c "$template" -o /dev/null "$report" 2>/dev/null; t1=$(now)
    a+=($((t1 - t0)))
    if [ -z "$compared" ] && [ "$mb" -ge 100 ]; then
      t0=$(now); taskset -c 0 iconv -f UTF-8 -t ISO-8859-1//TRANSLIT "$report" > /dev/null; t1=$(now)
      b+=($((t1 - t0)))
      t0=$(now); taskset -c 0 "$program" -c "$rtf_template" -o /dev/null "$report" 2>/dev/null; t1=$(now)
      c+=($((t1 - t0)))
    fi
  done
  ma=$(printf '%s\n' "${a[@]}" | median)
  peak=$(/usr/bin/time -f %M "$program" -c "$template" -o /dev/null "$report" 2>&1 >/dev/null | tail -n 1)
  rate=$(awk -v b="$bytes" -v us="$ma" 'BEGIN { printf "%.0f", b / us }')
  net=$(awk -v b="$bytes" -v us="$ma" -v s="$startup" 'BEGIN { printf "%.0f", b / (us - s) }')
  printf '%6s MB  lyricrtf median %8.3f s  %5s MB/s (%s MB/s after start-up)  peak %s KB\n' \
    "$mb" "$(awk -v us="$ma" 'BEGIN { print us / 1e6 }')" "$rate" "$net" "$peak"
  if [ ${#b[@]} -gt 0 ]; then
    mb_=$(printf '%s\n' "${b[@]}" | median)
    irate=$(awk -v b="$bytes" -v us="$mb_" 'BEGIN { printf "%.0f", b / us }')
    printf '%6s MB  iconv    median %8.3f s  %5s MB/s\n' "$mb" "$(awk -v us="$mb_" 'BEGIN { print us / 1e6 }')" "$irate"
    printf '          ratio lyricrtf / iconv, both pinned to one core: %.2f\n' "$(awk -v a="$ma" -v b="$mb_" 'BEGIN { print a / b }')"
    mc=$(printf '%s\n' "${c[@]}" | median)
    printf '%6s MB  lyricrtf with %%#rtf median %8.3f s\n' "$mb" "$(awk -v us="$mc" 'BEGIN { print us / 1e6 }')"
    printf '          ratio lyricrtf with %%#rtf / iconv, both pinned to one core: %.2f\n' "$(awk -v a="$mc" -v b="$mb_" 'BEGIN { print a / b }')"
    compared=yes
  fi
done



