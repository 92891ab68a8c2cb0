#!/bin/sh
# Fails when the Slovenian manual pages' catalogue (docs/man/po/sl.po) is
# behind the English pages: po4a brings a copy of docs/man up to date, as a
# translator would (po4a.cfg), and what that leaves untranslated or fuzzy is
# named. Run from ctest with docs/man as its argument; exits 77 (skipped)
# without po4a, a tool for building packages.
set -eu
command -v po4a >/dev/null 2>&1 || { echo "po4a is not installed: the manual pages' catalogue is not checked"; exit 77; }
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -R "$1/." "$copy"
(cd "$copy" && po4a --force --no-translations po4a.cfg >/dev/null)
stats=$(LC_ALL=C msgfmt --statistics -o /dev/null "$copy/po/sl.po" 2>&1)
echo "$stats"
case $stats in
  *fuzzy*|*untranslated*)
    echo "docs/man/po/sl.po is behind the English pages; in docs/man run"
    echo "po4a --force --no-translations po4a.cfg and translate these:"
    msgattrib --only-fuzzy --no-wrap "$copy/po/sl.po" | grep '^msgid "..*"' || true
    msgattrib --untranslated --no-wrap "$copy/po/sl.po" | grep '^msgid "..*"' || true
    exit 1 ;;
esac
