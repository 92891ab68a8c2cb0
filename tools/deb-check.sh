#!/usr/bin/env bash
# Installs the Debian package as an administrator would, checks what it
# brought (the programs, a relink, the manual page, completion, the desktop
# entry) and removes it again. Run as root, after make deb.
#   tools/deb-check.sh [vostrel_VERSION_amd64.deb]   (default: the one here)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls vostrel_*_amd64.deb | tail -1)}")
export DEBIAN_FRONTEND=noninteractive
tmp=$(mktemp -d /tmp/vostrel-deb.XXXXXX)
# The package goes again whatever happens.
trap 'dpkg -s vostrel >/dev/null 2>&1 && apt-get remove -y -qq vostrel >/dev/null; rm -rf "$tmp"' EXIT

fail() { echo "deb-check: $*" >&2; exit 1; }

# What the check itself uses: man, file, and bash's completion framework.
apt-get install -y -qq --no-install-recommends man-db file bash-completion >/dev/null
apt-get install -y -qq "$deb" >/dev/null
[ "$(command -v vostrel-cli)" = /usr/bin/vostrel-cli ] || fail "vostrel-cli is not in /usr/bin"
vostrel-cli --help >/dev/null || fail "vostrel-cli --help failed"
vostrel --version | grep -q '^vostrel ' || fail "vostrel --version failed"
for program in /usr/bin/vostrel /usr/bin/vostrel-cli; do
  file "$program" | grep -q 'not stripped' && fail "$program is not stripped"
done

# A relink on a front-end built by this tree's own builder.
mkdb=build/bin/vostrel-mkdb
if [ -x "$mkdb" ]; then
  mkdir -p "$tmp/Podatki"
  "$mkdb" frontend "$tmp/MLQ.mdb" --link 'Partner=C:\MLQ\PARTNER.MDB' >/dev/null
  "$mkdb" backend "$tmp/Podatki/PARTNER.MDB" >/dev/null
  (cd "$tmp" && vostrel-cli relink MLQ.mdb --table Partner --connect ";DATABASE=$tmp/Podatki/PARTNER.MDB" >/dev/null) ||
    fail "relink with the installed vostrel-cli failed"
  (cd "$tmp" && vostrel-cli check MLQ.mdb | grep -q $'Partner\tok') || fail "check after the relink did not say ok"
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
else
  echo "deb-check: $mkdb is missing (make build): relink not tried" >&2
fi

[ "$(man -w vostrel-cli)" = /usr/share/man/man1/vostrel-cli.1.gz ] || fail "man -w vostrel-cli"
[ "$(man -w vostrel)" = /usr/share/man/man1/vostrel.1.gz ] || fail "man -w vostrel"
[ -f /usr/share/locale/sl/LC_MESSAGES/vostrel.mo ] || fail "no Slovenian catalogue"
message=$(LC_ALL=sl_SI.UTF-8 vostrel-cli list "$tmp/none.mdb" 2>&1 || true)
[[ $message == Napaka* ]] ||
  echo "deb-check: no Slovenian message (is the locale sl_SI.UTF-8 generated?)" >&2

# Completion, as an interactive bash with bash-completion loads it on demand.
words=$(HOME=$tmp bash -ic '. /usr/share/bash-completion/bash_completion; _completion_loader vostrel-cli; complete -p vostrel-cli >/dev/null &&
  COMP_WORDS=(vostrel-cli re); COMP_CWORD=1; COMP_LINE="vostrel-cli re"; COMP_POINT=${#COMP_LINE};
  _vostrel_cli vostrel-cli re vostrel-cli; echo "${COMPREPLY[*]}"' 2>/dev/null | tail -1)
[ "$words" = relink ] || fail "completion of 'vostrel-cli re' gave '$words', not 'relink'"

entry=/usr/share/applications/vostrel.desktop
grep -q '^Exec="/usr/bin/vostrel"' "$entry" || fail "the desktop entry does not start /usr/bin/vostrel"
grep -q '^Path=' "$entry" && fail "the desktop entry names a working folder"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi

apt-get remove -y -qq vostrel >/dev/null
[ ! -e /usr/bin/vostrel-cli ] || fail "vostrel-cli is still there after removal"
echo "deb-check: $(basename "$deb") installs, works and goes"
