#!/bin/sh
# Nothing above the engine reaches beneath its public headers: app/, ui/,
# linkform/ and cli/ include no jet/ header and none of the engine's own
# (those tests may include to inject faults). Run from ctest with the
# source folder as its argument.
cd "$1" || exit 2
internal='engine/(database_impl|relink|backend|path|failures)\.h'
found=$(grep -rnE "#include \"(jet/|$internal)" app ui linkform cli 2>/dev/null)
if [ -n "$found" ]; then
  echo "includes beneath the engine's public headers:"
  echo "$found"
  exit 1
fi
