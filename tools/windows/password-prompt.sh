#!/usr/bin/env bash
# vostrel-cli.exe under Wine on a terminal of its own (script(1)) asks for a
# protected front-end's password without echo: the password is typed once
# the prompt shows, the front-end is listed, and nothing on the terminal
# shows the password. Wine's console draws a space as a cursor move, so the
# terminal's text is compared without escapes and spaces.
#   tools/windows/password-prompt.sh VOSTREL-CLI.EXE FOLDER-WITH-MLQ.mdb PASSWORD
set -euo pipefail
exe=$1; dir=$2; password=$3
cd "$dir"
plain() { printf '%s' "$1" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r '; }
coproc PROMPT { script -qec "wine '$exe' list MLQ.mdb" /dev/null 2>&1; }
out="" sent=""
while IFS= read -r -d '' -n 1 -t 60 c <&"${PROMPT[0]}"; do
  out+=$c
  if [[ -z $sent && $c == ":" && $(plain "$out") == *"passwordofMLQ.mdb:"* ]]; then
    printf '%s\r' "$password" >&"${PROMPT[1]}"
    sent=1
  fi
done || true
shown=$(plain "$out")
[[ -n $sent ]] || { echo "FAILED: no prompt came: $shown" >&2; exit 1; }
[[ $shown == *Partner*linked* ]] || { echo "FAILED: not listed: $shown" >&2; exit 1; }
[[ $shown != *"$password"* ]] || { echo "FAILED: the terminal showed the password" >&2; exit 1; }
echo "asked without echo, listed"
