#!/usr/bin/env bash
# Runs every fuzz target for a while on seeds made from the test fixtures.
# Usage: fuzz/run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../tests/data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# What a target finds stays beside the build, to become a regression test.
artifacts="$build/fuzz-findings"
mkdir -p "$artifacts"

mkdir -p "$work"/{templates,conversion,reader,command_line}
for fixture in "$data"/*.dat; do
  name=$(basename "$fixture" .dat)
  cp "$fixture" "$work/templates/$name"
  { cat "$fixture"; printf '\0'; cat "$data/$name.txt"; } > "$work/conversion/$name"
  cp "$data/$name.txt" "$work/reader/$name"
done
printf '%s\n' "-c 'My Files/t.dat' \"My Files/Easter.txt\"" > "$work/command_line/quoted"
printf '%s\n%s\n' "-c t.dat \\" "Easter.txt" > "$work/command_line/continued"

for target in templates conversion reader command_line; do
  echo "fuzzing $target for ${seconds}s"
  mkdir -p "$work/found-$target"
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -max_len=65536 -close_fd_mask=3 -dict="$here/lyricrtf.dict" \
    -artifact_prefix="$artifacts/$target-" "$work/found-$target" "$work/$target" 2>&1 | tail -n 3
done
