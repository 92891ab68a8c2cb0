#!/usr/bin/env bash
# The main job in one run: a front-end MLQ.mdb whose table "Partner" links to
# an old path, a back-end PARTNER.MDB in a sub-folder, and vostrel started with
# that sub-folder, which relinks by itself and closes. Prints the link before
# and after.
#   tools/demo.sh BUILD_DIR        (make demo passes build/)
# DEMO_FORMAT=jet3|jet4|ace12 picks the family (default jet4); DEMO_DIR names
# the scratch folder (default: a new one under /tmp, kept for a look after).
set -euo pipefail

build=${1:?usage: tools/demo.sh BUILD_DIR}
build=$(cd "$build" && pwd)
bin="$build/bin"
format=${DEMO_FORMAT:-jet4}
old_path='C:\MLQ\PARTNER.MDB'

for program in vostrel-mkdb vostrel-cli vostrel; do
  if [ ! -x "$bin/$program" ]; then
    echo "demo: $bin/$program is missing; build first (make build)" >&2
    exit 1
  fi
done

scratch=${DEMO_DIR:-$(mktemp -d /tmp/vostrel-demo.XXXXXX)}
mkdir -p "$scratch/Podatki"
cd "$scratch"
rm -f MLQ.mdb Podatki/PARTNER.MDB

"$bin/vostrel-mkdb" frontend MLQ.mdb --format "$format" --link "Partner=$old_path" --link "Artikli=$old_path" >/dev/null
"$bin/vostrel-mkdb" backend Podatki/PARTNER.MDB --format "$format" >/dev/null

partner_link() {
  "$bin/vostrel-cli" list MLQ.mdb | awk -F '\t' '$1 == "Partner" { print $3 }'
}

echo "Scratch folder:  $scratch"
echo "Front-end:       MLQ.mdb ($format), back-end: Podatki/PARTNER.MDB"
echo
echo "Partner before:  $(partner_link)"

# The window needs a display; without one, Qt draws off screen (and wants a
# private runtime folder, or it says so).
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$scratch/.runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
echo "Running:         vostrel $scratch/Podatki"
status=0
timeout 60 "$bin/vostrel" "$scratch/Podatki" || status=$?

echo "Partner after:   $(partner_link)"
if [ "$status" -ne 0 ]; then
  echo "demo: vostrel ended with status $status" >&2
  exit "$status"
fi
