#!/usr/bin/env bash
# The Windows programs under Wine: the test suites built for Windows (the
# window's on a bare X server), and the file a relink writes on Windows
# against the one it writes on Linux.
#   tools/windows/test.sh BUILD-WINDOWS BUILD-LINUX
set -euo pipefail
cd "$(dirname "$0")/../.."
win=$(realpath "$1")
linux=$(realpath "$2")
source tools/windows/wine-env.sh

tmp=$(mktemp -d)
Xvfb :98 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
sleep 1

echo "== the suites under Wine"
DISPLAY=:98 ctest --test-dir "$win" --output-on-failure -j 1

echo "== the same relink on Linux and on Windows"
for format in jet3 jet4 ace12; do
  mkdir -p "$tmp/$format/linux" "$tmp/$format/windows"
  "$linux/bin/vostrel-mkdb" frontend "$tmp/$format/MLQ.mdb" --format "$format" >/dev/null
  "$linux/bin/vostrel-mkdb" backend "$tmp/$format/PARTNER.MDB" --format "$format" >/dev/null
  for side in linux windows; do
    cp "$tmp/$format/MLQ.mdb" "$tmp/$format/PARTNER.MDB" "$tmp/$format/$side/"
  done
  # A relative back-end name: the stored link is the same text on both sides.
  (cd "$tmp/$format/linux" && "$linux/bin/vostrel-cli" relink MLQ.mdb --table Partner --connect ';DATABASE=PARTNER.MDB' >/dev/null)
  (cd "$tmp/$format/windows" && wine "$win/bin/vostrel-cli.exe" relink MLQ.mdb --table Partner --connect ';DATABASE=PARTNER.MDB' >/dev/null)
  printf '%s: ' "$format"
  node tools/windows/same-relink.mjs "$tmp/$format/linux/MLQ.mdb" "$tmp/$format/windows/MLQ.mdb"
done
