#!/usr/bin/env bash
# Pictures of the Win32 window under Wine, on a bare X server, before any
# relink, at 100 %, 125 % and 150 % (96, 120 and 144 dots per inch):
# docs/screenshot-windows-96.png, -120.png, -144.png.
#   tools/windows/screenshot.sh BUILD-WINDOWS BUILD-LINUX
# The screen's DPI is a setting of the Wine prefix, so the pictures are taken
# in a prefix of their own: the tests' prefix keeps 96.
set -euo pipefail
cd "$(dirname "$0")/../.."
win=$(realpath "$1")
linux=$(realpath "$2")
export WINEPREFIX=${VOSTREL_SCREENSHOT_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vostrel-wine-screenshots}
source tools/windows/wine-env.sh
tmp=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir "$tmp/fb" "$tmp/vostrel"
Xvfb :97 -screen 0 800x600x24 -br -nocursor -fbdir "$tmp/fb" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
"$linux/bin/vostrel-mkdb" frontend "$tmp/vostrel/MLQ.mdb" >/dev/null
"$linux/bin/vostrel-mkdb" backend "$tmp/vostrel/PARTNER.MDB" >/dev/null
for dpi in 96 120 144; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w  # the setting is read as a program starts
  # No argument: the window waits for a person.
  (cd "$tmp/vostrel" && DISPLAY=:97 wine "$win/bin/vostrel.exe" >/dev/null 2>&1 &)
  sleep 6
  cp "$tmp/fb/Xvfb_screen0" "$tmp/screen.xwd"
  node tools/windows/xwd-to-png.mjs "$tmp/screen.xwd" "docs/screenshot-windows-$dpi.png"
  wineserver -k  # the window, and every Wine process of this prefix
done
