#!/usr/bin/env bash
# The Windows programs under Wine: the test suites built for Windows (the
# window's on a bare X server), the file a relink writes on Windows against
# the one it writes on Linux, and both systems on one folder: a session of
# the desktop program on either side seen by the other, its stale lock file
# blocking neither, and a journal either leaves played back by the other;
# then the installer: installed, started, upgraded by a later version (made
# here with pack.sh), refused as a downgrade, removed.
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

# A folder both systems reach: a front-end MLQ.mdb and its back-end in nova/.
scene() {
  mkdir -p "$1/nova"
  "$linux/bin/vostrel-mkdb" frontend "$1/MLQ.mdb" >/dev/null
  "$linux/bin/vostrel-mkdb" backend "$1/nova/PARTNER.MDB" >/dev/null
  cp "$1/MLQ.mdb" "$1/MLQ.before"
}
fail() { echo "FAILED: $*" >&2; exit 1; }

echo "== a protected front-end's password at the console's prompt"
mkdir -p "$tmp/prompt"
printf 'Skriv-no7\n' >"$tmp/prompt/geslo"
"$linux/bin/vostrel-mkdb" frontend "$tmp/prompt/MLQ.mdb" --password-file "$tmp/prompt/geslo" >/dev/null
tools/windows/password-prompt.sh "$win/bin/vostrel-cli.exe" "$tmp/prompt" Skriv-no7

echo "== a session of the desktop program under Wine, seen by the Linux build"
d=$tmp/session
scene "$d"
coproc session { cd "$d" && exec wine "$win/bin/desktop-session.exe" MLQ.mdb PC-ANA ana 2>&1; }
# Bash forgets a coprocess's pipes and id once it has ended: kept here.
from=${session[0]} to=${session[1]} pid=$session_PID
read -r said <&"$from" || true
[ "${said%$'\r'}" = ready ] || fail "the stand-in session did not start: $said"
set +e
err=$(cd "$d" && "$linux/bin/vostrel-cli" relink MLQ.mdb --table Partner --connect ";DATABASE=$d/nova/PARTNER.MDB" 2>&1 >/dev/null)
status=$?
set -e
[ $status -ne 0 ] && [[ $err == *3260*"user 'ana' on machine 'PC-ANA'"* ]] || fail "relink beside the session: $status $err"
cmp -s "$d/MLQ.mdb" "$d/MLQ.before" || fail "the front-end changed beside the session"
out=$(cd "$d" && "$linux/bin/vostrel-cli" check MLQ.mdb || true)
[[ $out == *"open by user 'ana' on machine 'PC-ANA'"* ]] || fail "check does not show the session: $out"
exec {to}>&-
wait "$pid" || fail "the stand-in session failed"
# What the session left is a stale lock file: it blocks nothing.
[ -f "$d/MLQ.ldb" ] || fail "the session left no lock file"
(cd "$d" && "$linux/bin/vostrel-cli" relink MLQ.mdb --table Partner --connect ";DATABASE=$d/nova/PARTNER.MDB" >/dev/null) ||
  fail "a stale lock file blocked the relink"
echo "refused while it lived, relinked after"

echo "== sessions starting while relinks write: one waits for the other or is refused, never both at once"
# The relinks alternate between two back-ends, so that each one rewrites
# the front-end; each session holds its locks a moment, reading the whole
# front-end when it has them and again before it lets them go ("changed":
# a relink wrote it while it was open). Both outcomes of both are counted.
d=$tmp/race
scene "$d"
"$linux/bin/vostrel-mkdb" backend "$d/PARTNER.MDB" >/dev/null
# One process plays the sessions, one after another, for about as long as
# the relinks take: a Wine process takes a while to start.
(cd "$d" && wine "$win/bin/desktop-session.exe" MLQ.mdb PC-ANA ana 40 40 </dev/null 2>&1 | tr -d '\r' |
  sed 's/^/session /') >"$tmp/sessions" &
sessions=$!
(
  cd "$d"
  for round in 1 2 3 4 5 6; do
    back='nova\PARTNER.MDB'
    [ $((round % 2)) = 0 ] && back=PARTNER.MDB
    if err=$(wine "$win/bin/vostrel-cli.exe" relink MLQ.mdb --table Partner --connect ";DATABASE=$back" 2>&1 >/dev/null); then
      echo "relink done"
    elif [[ $err == *3260* || $err == *3045* ]]; then
      # 3045: a session took its user lock after the probe and was gone
      # again before the relink could name it; refused all the same.
      echo "relink refused"
    else
      echo "relink failed: $err"
    fi
  done
) >"$tmp/relinks"
wait $sessions || true  # its worst status; the lines say more
sort "$tmp/sessions" "$tmp/relinks" | uniq -c
bad=$(cat "$tmp/sessions" "$tmp/relinks" |
  grep -v -x -e 'session unchanged' -e 'session refused' -e 'relink done' -e 'relink refused' || true)
[ -z "$bad" ] || fail "a live front-end was rewritten, or a side failed: $bad"
grep -q 'relink done' "$tmp/relinks" || fail "no relink got through"

echo "== a session on the Linux side (a record lock as an SMB server holds it), seen by the Windows build"
d=$tmp/linux-session
scene "$d"
{ printf 'PC-BOR'; head -c 26 /dev/zero; printf 'bor'; head -c 29 /dev/zero; } > "$d/MLQ.ldb"
# The user lock of the first slot, held until its input ends.
coproc held {
  exec perl -e 'use Fcntl; open(my $f, "+<", $ARGV[0]) or die "$!\n"; $| = 1;
    my $lock = pack("s s x4 q q i x4", F_WRLCK, 0, 0x10000001, 1, 0);
    fcntl($f, F_SETLK, $lock) or die "lock: $!\n";
    print "ready\n"; my @until_the_end = <STDIN>;' "$d/MLQ.ldb"
}
from=${held[0]} to=${held[1]} pid=$held_PID
read -r said <&"$from" || true
[ "$said" = ready ] || fail "the Linux session did not start: $said"
set +e
err=$(cd "$d" && wine "$win/bin/vostrel-cli.exe" relink MLQ.mdb --table Partner --connect ';DATABASE=nova\PARTNER.MDB' 2>&1 >/dev/null)
status=$?
set -e
[ $status -ne 0 ] && [[ $err == *3260*"user 'bor' on machine 'PC-BOR'"* ]] || fail "relink beside the session: $status $err"
cmp -s "$d/MLQ.mdb" "$d/MLQ.before" || fail "the front-end changed beside the session"
exec {to}>&-
wait "$pid" || true
(cd "$d" && wine "$win/bin/vostrel-cli.exe" relink MLQ.mdb --table Partner --connect ';DATABASE=nova\PARTNER.MDB' >/dev/null) ||
  fail "a stale lock file blocked the relink"
echo "refused while it lived, relinked after"

echo "== a journal one system left, played back by the other"
# Each system records its own file identity (device and inode; volume serial
# and file index), which the other cannot match: the journal is known by the
# file's content, so either plays back what the other left.
for writer in windows linux; do
  d=$tmp/journal-$writer
  scene "$d"
  if [ $writer = windows ]; then
    (cd "$d" && wine "$win/bin/cut-relink.exe" MLQ.mdb Partner ';DATABASE=nova\PARTNER.MDB')
    (cd "$d" && "$linux/bin/vostrel-cli" check MLQ.mdb >/dev/null 2>&1) || true
  else
    (cd "$d" && "$linux/bin/cut-relink" MLQ.mdb Partner ';DATABASE=nova/PARTNER.MDB')
    (cd "$d" && wine "$win/bin/vostrel-cli.exe" check MLQ.mdb >/dev/null 2>&1) || true
  fi
  left=$(cd "$d" && ls | grep -v -x -e MLQ.mdb -e MLQ.before -e nova || true)
  if cmp -s "$d/MLQ.mdb" "$d/MLQ.before" && [ -z "$left" ]; then
    echo "left by $writer: played back"
  else
    fail "a journal left by $writer was not played back by the other system ($left)"
  fi
done

echo "== started through cmd with a quoted folder of spaces and č, š, ž, with a display and without"
# As a person types it in the folder that holds MLQ.mdb and the program:
# cmd keeps the quotes and passes the program's name as typed.
d=$tmp/quoted
mkdir -p "$d/start" "$d/Pisarna Čšž/nova"
"$linux/bin/vostrel-mkdb" frontend "$d/start/MLQ.mdb" >/dev/null
"$linux/bin/vostrel-mkdb" backend "$d/Pisarna Čšž/nova/PARTNER.MDB" >/dev/null
cp "$win/bin/vostrel.exe" "$d/start/"
cp "$d/start/MLQ.mdb" "$d/MLQ.before"
folder="$(winepath -w "$d")\\Pisarna Čšž\\nova"
# Wine quotes an argument that has spaces: cmd is given vostrel.exe "FOLDER".
on_display() { if [ -n "$1" ]; then DISPLAY=$1 "${@:2}"; else env -u DISPLAY "${@:2}"; fi; }
for display in :98 ''; do
  cp "$d/MLQ.before" "$d/start/MLQ.mdb"
  (cd "$d/start" && on_display "$display" timeout 60 wine cmd /c vostrel.exe "$folder" </dev/null) ||
    fail "cmd /c vostrel.exe \"$folder\" (DISPLAY=$display): $?"
  got=$("$linux/bin/vostrel-cli" list "$d/start/MLQ.mdb" | awk -F'\t' '$1 == "Partner" { print $3 }')
  [ "$got" = ";DATABASE=$folder\\PARTNER.MDB" ] || fail "DISPLAY=$display: the link is $got"
done
# Without a display and without a folder nobody could go on: said, not silent.
set +e
err=$(cd "$d/start" && on_display '' timeout 60 wine vostrel.exe 2>&1 </dev/null)
status=$?
set -e
[ $status = 1 ] && [[ $err == *"No window can be shown here"* ]] || fail "no display, no folder: $status $err"
echo "relinked with a display and without"

echo "== the program's folder and the working folder on a share (\\\\streznik\\skupno-$$\\MLQ)"
# Wine reaches \\server\share through its prefix's dosdevices/unc/server/share.
share=skupno-$$
unc=$WINEPREFIX/dosdevices/unc/streznik
mkdir -p "$unc" "$tmp/share/MLQ"
ln -sfn "$tmp/share" "$unc/$share"
trap 'rm -f "$unc/$share"; kill $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
"$linux/bin/vostrel-mkdb" frontend "$tmp/share/MLQ/MLQ.mdb" >/dev/null
"$linux/bin/vostrel-mkdb" backend "$tmp/share/MLQ/PARTNER.MDB" >/dev/null
cp "$win/bin/vostrel.exe" "$win/bin/vostrel-cli.exe" "$tmp/share/MLQ/"
here="\\\\streznik\\$share\\MLQ"
# Wine's cmd takes a share as its working folder (start /d does not).
DISPLAY=:98 timeout 60 wine cmd /c "cd /d $here && $here\\vostrel.exe MLQ" </dev/null || fail "vostrel.exe MLQ from $here: $?"
got=$("$linux/bin/vostrel-cli" list "$tmp/share/MLQ/MLQ.mdb" | awk -F'\t' '$1 == "Partner" { print $3 }')
[ "$got" = ";DATABASE=$here\\PARTNER.MDB" ] || fail "started from $here: the link is $got"
out=$(timeout 60 wine cmd /c "cd /d $here && vostrel-cli.exe list MLQ.mdb" </dev/null | tr -d '\r')
[[ $out == *"Partner	linked	;DATABASE=$here\\PARTNER.MDB"* ]] || fail "vostrel-cli.exe list from $here: $out"
echo "relinked from the share"

echo "== the installer: into a chosen folder, started as its menu entry starts it, upgraded, removed"
version=$(sed -n 's/^project(vostrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=$PWD/vostrel-$version-win64.msi
d=$tmp/installed
mkdir -p "$d"
"$linux/bin/vostrel-mkdb" frontend "$d/MLQ.mdb" >/dev/null
"$linux/bin/vostrel-mkdb" backend "$d/PARTNER.MDB" >/dev/null
ours=$(ls "$d")
table() { msiinfo export "$1" "$2" | tr -d '\r'; }
entry=$(table "$msi" Shortcut | awk -F'\t' '$1 == "MenuShortcut" { print $5 "|" $6 "|" $12 }')
[ "$entry" = '[INSTALLDIR]vostrel.exe||INSTALLDIR' ] || fail "the menu entry starts $entry"
code=$(table "$msi" Property | awk -F'\t' '$1 == "ProductCode" { print $2 }')
programs='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The product codes of the installed programs named vostrel.
installed() {
  wine reg query "$programs" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } $1 == "DisplayName" && $3 == "vostrel" { sub(/.*\\/, "", key); print key }'
}
dir=$(winepath -w "$d")
# An install that an earlier, failed run left in the prefix would make this one a repair.
for left in $(installed); do DISPLAY=:98 wine msiexec /x "$left" /qn 2>/dev/null || true; done
DISPLAY=:98 wine msiexec /i "$msi" /qn "INSTALLDIR=$dir" 2>/dev/null || fail "msiexec /i"
[ "$(installed)" = "$code" ] || fail "not in the installed programs"
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name vostrel.lnk | grep -q . || fail "no menu entry"
(cd "$d" && wine "$d/vostrel-cli.exe" list MLQ.mdb >/dev/null) || fail "the installed vostrel-cli.exe"
# "MLQ" names the program's own folder: the back-end beside it.
(cd "$d" && DISPLAY=:98 timeout 60 wine "$d/vostrel.exe" MLQ) || fail "the installed vostrel.exe"
"$linux/bin/vostrel-cli" list "$d/MLQ.mdb" | grep -qxF "Partner	linked	;DATABASE=$dir\\PARTNER.MDB" ||
  fail "the installed window did not relink: $("$linux/bin/vostrel-cli" list "$d/MLQ.mdb")"
# A later version, installed over this one as a user would, without naming
# the folder: it replaces this one in the folder this one was installed in.
next=$(awk -F. '{ printf "%d.%02d", $1, $2 + 1 }' <<<"$version")
tools/windows/pack.sh "$win" "$next" "$tmp" >/dev/null
newer=$tmp/vostrel-$next-win64.msi
newer_code=$(table "$newer" Property | awk -F'\t' '$1 == "ProductCode" { print $2 }')
DISPLAY=:98 wine msiexec /i "$newer" /qn 2>/dev/null || fail "msiexec /i of the later version"
[ "$(installed)" = "$newer_code" ] || fail "installed programs after the upgrade: $(installed | tr '\n' ' ')"
head -1 "$d/vostrel-README.txt" | grep -q "vostrel $next " || fail "the later version's files are not in $d"
# The earlier one, started again, refuses to go back.
! DISPLAY=:98 wine msiexec /i "$msi" /qn 2>/dev/null || fail "the earlier version installed over the later one"
[ "$(installed)" = "$newer_code" ] || fail "installed programs after the refused downgrade: $(installed | tr '\n' ' ')"
DISPLAY=:98 wine msiexec /x "$newer" /qn 2>/dev/null || fail "msiexec /x"
[ "$(ls "$d")" = "$ours" ] || fail "left after the uninstall: $(ls "$d")"
! find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name vostrel.lnk | grep -q . || fail "the menu entry stayed"
[ -z "$(installed)" ] || fail "still in the installed programs: $(installed | tr '\n' ' ')"
echo "installed, relinked, upgraded, removed"
