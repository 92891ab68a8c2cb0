#!/usr/bin/env bash
# Installs the Debian packages as an administrator would, one at a time, and
# checks what each brought: vostrel-cli alone (no Qt, a relink, its manual
# page, completion, the catalogue), its debug symbols (gdb finds them), then
# the window (a relink from the folder the menu starts it in, its manual
# page, the desktop entry); then removes them all. Run as root, after make deb.
#   tools/deb-check.sh [FOLDER]   (default: here, where make deb leaves them)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(realpath "${1:-.}")
package() {
  local found
  found=$(ls "$dir/$1"_*_amd64.deb 2>/dev/null | tail -1)
  [ -n "$found" ] || [ "${2:-}" = optional ] || { echo "deb-check: no $1_*_amd64.deb in $dir (make deb)" >&2; exit 1; }
  echo "$found"
}
cli=$(package vostrel-cli)
window=$(package vostrel)
cli_dbgsym=$(package vostrel-cli-dbgsym optional)
window_dbgsym=$(package vostrel-dbgsym optional)
export DEBIAN_FRONTEND=noninteractive
tmp=$(mktemp -d /tmp/vostrel-deb.XXXXXX)
ours=(vostrel vostrel-dbgsym vostrel-cli-dbgsym vostrel-cli)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
remove_ours() {
  local p present=()
  for p in "${ours[@]}"; do installed "$p" && present+=("$p"); done
  ((${#present[@]} == 0)) || apt-get remove -y -qq "${present[@]}" >/dev/null
}
# The packages go again whatever happens.
trap 'remove_ours; rm -rf "$tmp"' EXIT

fail() { echo "deb-check: $*" >&2; exit 1; }

# What the check itself uses: man, file, bash's completion framework, gdb.
apt-get install -y -qq --no-install-recommends man-db file bash-completion gdb >/dev/null
remove_ours

echo "deb-check: $(basename "$cli") alone"
# dpkg-shlibdeps' finding: the C++ runtime is linked in, the C library and
# libcrypto (libssl3: encrypted ACE files) are all the program needs; and
# nothing it depends on, however far down, is Qt.
depends=$(dpkg-deb -f "$cli" Depends)
[[ $depends =~ ^libc6\ \(\>=\ [0-9.]+\),\ libssl3\ \(\>=\ [0-9.a-z~+-]+\)$ ]] ||
  fail "vostrel-cli depends on '$depends', not the C library and libcrypto alone"
apt-get install -y -qq "$cli" >/dev/null
qt=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
       --no-enhances vostrel-cli | grep -io 'qt6[^ ]*' | sort -u || true)
[ -z "$qt" ] || fail "vostrel-cli pulls Qt: $qt"
[ "$(command -v vostrel-cli)" = /usr/bin/vostrel-cli ] || fail "vostrel-cli is not in /usr/bin"
vostrel-cli --help >/dev/null || fail "vostrel-cli --help failed"
file /usr/bin/vostrel-cli | grep -q 'not stripped' && fail "/usr/bin/vostrel-cli is not stripped"
# Front-ends built by this tree's own builder (make build's, or make deb's).
mkdb=
for candidate in build/bin/vostrel-mkdb build-deb/bin/vostrel-mkdb; do
  [ -x "$candidate" ] && { mkdb=$candidate; break; }
done
if [ -n "$mkdb" ]; then
  mkdir -p "$tmp/Podatki"
  "$mkdb" frontend "$tmp/MLQ.mdb" --link 'Partner=C:\MLQ\PARTNER.MDB' >/dev/null
  "$mkdb" backend "$tmp/Podatki/PARTNER.MDB" >/dev/null
  (cd "$tmp" && vostrel-cli relink MLQ.mdb --table Partner --connect ";DATABASE=$tmp/Podatki/PARTNER.MDB" >/dev/null) ||
    fail "relink with the installed vostrel-cli failed"
  (cd "$tmp" && vostrel-cli check MLQ.mdb | grep -q $'Partner\tok') || fail "check after the relink did not say ok"
else
  echo "deb-check: no vostrel-mkdb (make build): relinks not tried" >&2
fi
[ "$(man -w vostrel-cli)" = /usr/share/man/man1/vostrel-cli.1.gz ] || fail "man -w vostrel-cli"
[ "$(man -L sl -w vostrel-cli)" = /usr/share/man/sl/man1/vostrel-cli.1.gz ] || fail "no Slovenian vostrel-cli(1)"
[ -f /usr/share/locale/sl/LC_MESSAGES/vostrel.mo ] || fail "no Slovenian catalogue"
message=$(LC_ALL=sl_SI.UTF-8 vostrel-cli list "$tmp/none.mdb" 2>&1 || true)
if [[ $message != "vostrel-cli: $tmp/none.mdb: Napaka 3024: "* ]]; then
  # A machine without the Slovenian locale cannot show it; CI generates it.
  [ -n "${CI:-}" ] && fail "no Slovenian message: $message"
  echo "deb-check: no Slovenian message (is the locale sl_SI.UTF-8 generated?)" >&2
fi
# Completion, as an interactive bash with bash-completion loads it on demand.
words=$(HOME=$tmp bash -ic '. /usr/share/bash-completion/bash_completion; _completion_loader vostrel-cli; complete -p vostrel-cli >/dev/null &&
  COMP_WORDS=(vostrel-cli re); COMP_CWORD=1; COMP_LINE="vostrel-cli re"; COMP_POINT=${#COMP_LINE};
  _vostrel_cli vostrel-cli re vostrel-cli; echo "${COMPREPLY[*]}"' 2>/dev/null | tail -1)
[ "$words" = relink ] || fail "completion of 'vostrel-cli re' gave '$words', not 'relink'"

# A -dbgsym package installed, gdb finds the program's symbols by its build
# ID, down to a source line.
symbols() {
  [ -n "$2" ] || return 0
  echo "deb-check: $(basename "$2")"
  apt-get install -y -qq "$2" >/dev/null
  local line
  line=$(gdb -batch -nx -ex 'info line main' "/usr/bin/$1" 2>&1)
  [[ $line == *'Line '*' of "'*'main.cc"'* ]] || fail "gdb finds no debug symbols for $1: $line"
}
symbols vostrel-cli "$cli_dbgsym"

echo "deb-check: $(basename "$window")"
apt-get install -y -qq "$window" >/dev/null
vostrel --version | grep -q '^vostrel ' || fail "vostrel --version failed"
file /usr/bin/vostrel | grep -q 'not stripped' && fail "/usr/bin/vostrel is not stripped"
if [ -n "$mkdb" ]; then
  # The window as the menu starts it: in the user's home, where MLQ.mdb and
  # PARTNER.MDB are kept; "MLQ" relinks to PARTNER.MDB in the program's
  # folder, which for a program in /usr/bin is the folder it was started in.
  home=$tmp/home
  mkdir -p "$home"
  "$mkdb" frontend "$home/MLQ.mdb" --link 'Partner=C:\MLQ\PARTNER.MDB' >/dev/null
  "$mkdb" backend "$home/PARTNER.MDB" >/dev/null
  mkdir -p -m 700 "$tmp/runtime"
  (cd "$home" && HOME=$home XDG_RUNTIME_DIR=$tmp/runtime QT_QPA_PLATFORM=offscreen timeout 60 vostrel MLQ) ||
    fail "the installed window did not relink in the home folder"
  link=$(cd "$home" && vostrel-cli list MLQ.mdb | awk -F '\t' '$1 == "Partner" { print $3 }')
  [ "$link" = ";DATABASE=$home\\PARTNER.MDB" ] || fail "the installed window linked Partner to '$link'"
fi
[ "$(man -w vostrel)" = /usr/share/man/man1/vostrel.1.gz ] || fail "man -w vostrel"
[ "$(man -L sl -w vostrel)" = /usr/share/man/sl/man1/vostrel.1.gz ] || fail "no Slovenian vostrel(1)"
symbols vostrel "$window_dbgsym"
entry=/usr/share/applications/vostrel.desktop
grep -q '^Exec="/usr/bin/vostrel"' "$entry" || fail "the desktop entry does not start /usr/bin/vostrel"
grep -q '^Path=' "$entry" && fail "the desktop entry names a working folder"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi

# Removed, they leave none of their files.
files=$(for p in "${ours[@]}"; do installed "$p" && dpkg -L "$p"; done | sort -u)
remove_ours
left=$(while read -r f; do if [ -f "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done <<<"$files")
[ -z "$left" ] || fail "left after removal: $left"
echo "deb-check: vostrel-cli, vostrel${cli_dbgsym:+ and their debug symbols} install, work and go"
