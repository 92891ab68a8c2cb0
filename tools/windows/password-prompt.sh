#!/usr/bin/env bash
# vostrel-cli.exe under Wine on a terminal of its own (script(1)) asks for a
# protected front-end's password without echo: the password is typed after
# the prompt, the front-end is listed, and nothing on the terminal shows the
# password. Wine's console draws a space as a cursor move, so the terminal's
# text is compared without escapes and spaces. Wine's console takes its
# terminal out of echo when the program asks for input; the keys go once it
# has, so that an echo seen is the program's and not the terminal's own.
#   tools/windows/password-prompt.sh VOSTREL-CLI.EXE FOLDER-WITH-MLQ.mdb PASSWORD
set -euo pipefail
exe=$1; dir=$2; password=$3
cd "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
plain() { printf '%s' "$1" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r '; }
# Through named pipes, not a coprocess: bash closes a coprocess's pipes when
# it ends, which cut off what it wrote last.
mkfifo "$work/keys" "$work/screen"
script -qec "tty >'$work/tty'; exec wine '$exe' list MLQ.mdb" /dev/null <"$work/keys" >"$work/screen" 2>&1 &
exec {to}>"$work/keys" {from}<"$work/screen"
echo_off() {
  local tty
  tty=$(cat "$work/tty" 2>/dev/null) || return 1
  [[ $tty == /dev/* ]] && stty -a -F "$tty" 2>/dev/null | grep -qw -- -echo
}
out="" sent=""
while IFS= read -r -d '' -n 1 -t 60 c <&"$from"; do
  out+=$c
  if [[ -z $sent && $c == ":" && $(plain "$out") == *"passwordofMLQ.mdb:"* ]]; then
    for _ in $(seq 100); do echo_off && break; sleep 0.05; done
    printf '%s\r' "$password" >&"$to"
    sent=1
  fi
done || true
exec {to}>&-
kill $! 2>/dev/null || true  # only where it outlived its 60 s
wait || true
shown=$(plain "$out")
[[ -n $sent ]] || { echo "FAILED: no prompt came: $shown" >&2; exit 1; }
[[ $shown == *Partner*linked* ]] || { echo "FAILED: not listed: $shown" >&2; exit 1; }
[[ $shown != *"$password"* ]] || { echo "FAILED: the terminal showed the password" >&2; exit 1; }
echo "asked without echo, listed"
