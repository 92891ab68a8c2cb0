#!/usr/bin/env bash
# A picture of the Win32 window under Wine, on a bare X server, before any
# relink: docs/screenshot-windows.png.
#   tools/windows/screenshot.sh BUILD-WINDOWS BUILD-LINUX
set -euo pipefail
cd "$(dirname "$0")/../.."
win=$(realpath "$1")
linux=$(realpath "$2")
out=$PWD/docs/screenshot-windows.png
source tools/windows/wine-env.sh
tmp=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir "$tmp/fb" "$tmp/vostrel"
Xvfb :97 -screen 0 800x600x24 -br -nocursor -fbdir "$tmp/fb" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
"$linux/bin/vostrel-mkdb" frontend "$tmp/vostrel/MLQ.mdb" >/dev/null
"$linux/bin/vostrel-mkdb" backend "$tmp/vostrel/PARTNER.MDB" >/dev/null
# No argument: the window waits for a person.
(cd "$tmp/vostrel" && DISPLAY=:97 wine "$win/bin/vostrel.exe" >/dev/null 2>&1 &)
sleep 6
cp "$tmp/fb/Xvfb_screen0" "$tmp/screen.xwd"
node tools/windows/xwd-to-png.mjs "$tmp/screen.xwd" "$out"
wineserver -k  # the window, and every Wine process of this prefix
