#!/bin/sh
# What is above the engine includes from vostrel's own tree only the engine's
# public folder (include/vostrel/), the platform library's
# (include/platform/) and its own program's folders, named without a folder:
# cli/ for vostrel-cli; app/, ui/ and linkform/ for the window. The include
# paths already keep the rest out of reach; this catches what they cannot, a
# path relative to the file ("../jet/env.h"). Beneath the engine it keeps the
# paths module (engine/paths/) apart from the engine's databases. Run from
# ctest with the source folder as its argument; with "beneath" after it, it
# checks instead that os/ and jet/ name nothing above them (see beneath below).
cd "$1" || exit 2
status=0
check() {  # check FOLDER OWN-FOLDER...
  folder=$1
  shift
  [ -d "$folder" ] || return 0
  for file in "$folder"/*.h "$folder"/*.cc; do
    [ -f "$file" ] || continue
    # The name in every #include "..." and every #include <...> that starts
    # with a folder of this tree.
    grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" |
      sed -E 's/^([0-9]+):[^<"]*[<"]([^>"]*)[>"].*/\1 \2/' |
      while read -r line name; do
        case "$name" in
          *..*) ;;  # a way around the include path
          vostrel/*.h | platform/*.h) continue ;;
          */*)
            top=${name%%/*}
            # A system header such as <sys/stat.h> is no folder of ours.
            [ -d "$top" ] || [ "$top" = .. ] || continue
            ;;
          *)
            own=false
            for dir in "$@"; do
              [ -f "$dir/$name" ] && own=true
            done
            if $own || ! grep -qE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$name\"" "$file"; then
              continue  # its program's own header, or a system header in <>
            fi
            ;;
        esac
        echo "$file:$line: includes $name"
      done
  done
}
# Beneath the engine: os names of this tree only its own headers and the
# engine's public Env and Status (vostrel/env.h, vostrel/status.h), which it
# implements; jet those and its own. Neither names platform/, engine/ or a
# program's folder: their libraries are above and link them, not the other
# way. The include paths cannot keep this (jet's users put the source root on
# theirs), so it is checked here.
beneath() {  # beneath FOLDER TOP...: FOLDER's files include from the TOP folders only
  folder=$1
  shift
  find "$folder" -name '*.h' -o -name '*.cc' | sort | while read -r file; do
    grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" |
      sed -E 's/^([0-9]+):[^<"]*[<"]([^>"]*)[>"].*/\1 \2/' |
      while read -r line name; do
        case "$name" in
          *..*) ;;
          vostrel/env.h | vostrel/status.h) continue ;;
          vostrel/* | platform/*) ;;  # the engine's other public headers, the platform's
          */*)
            top=${name%%/*}
            [ -d "$top" ] || continue  # a system header such as <sys/stat.h>
            allowed=false
            for dir in "$@"; do
              [ "$top" = "$dir" ] && allowed=true
            done
            $allowed && continue
            ;;
          *) continue ;;  # a system header; a name of this tree has its folder
        esac
        echo "$file:$line: includes $name"
      done
  done
}
if [ "$2" = beneath ]; then
  found=$( {
    beneath os os
    beneath jet jet os
  })
  if [ -n "$found" ]; then
    echo "includes above the system's services or the file format:"
    echo "$found"
    exit 1
  fi
  exit 0
fi

found=$( {
  check cli cli
  check app app ui linkform
  check ui ui linkform
  check linkform linkform
})
# The paths module asks the file system through Env and knows nothing of
# databases: of the engine it names only its own folder, the errors'
# catalogue and the one way programs are started.
paths_found=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"engine/' engine/paths/*.h engine/paths/*.cc 2>/dev/null |
  grep -vE '"engine/(paths/[a-z_]+\.h|failures\.h|run_program\.h)"')
if [ -n "$paths_found" ]; then
  echo "the paths module (engine/paths/) includes the engine's other headers:"
  echo "$paths_found"
  status=1
fi
if [ -n "$found" ]; then
  echo "includes beneath the engine's public folder or outside the program's own:"
  echo "$found"
  status=1
fi
exit $status
