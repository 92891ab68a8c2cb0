#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, seeded with the real files in
# ../shared when they are there.  tools/fuzz.sh BUILD_DIR SECONDS_EACH
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
shopt -s nullglob
targets=("$build"/bin/fuzz_*)
if ((${#targets[@]} == 0)); then
  echo "no fuzz targets built"
  exit 0
fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  seeds=()
  [ -d ../shared/corpus ] && seeds+=(../shared/corpus)
  [ -d ../shared/fixtures ] && seeds+=(../shared/fixtures)
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  # Seed folders hold sub-folders: gather the files into the work corpus.
  for s in "${seeds[@]}"; do
    find "$s" -type f \( -iname '*.mdb' -o -iname '*.accdb' -o -path '*fuzz/seeds*' \) -size -4M -exec cp -n {} "$work/" \; 2>/dev/null || true
  done
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4194304 "$work" 2>&1 | tail -n 5
done
