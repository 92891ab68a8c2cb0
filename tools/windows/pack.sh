#!/usr/bin/env bash
# Packs the Windows programs with the users' README (Slovenian and English):
# vostrel-VERSION-win64.zip, and their installer vostrel-VERSION-win64.msi.
#   tools/windows/pack.sh BUILD-WINDOWS [VERSION [FOLDER]]
# VERSION (default the project's) and FOLDER (default here) are for the
# test of an upgrade, which installs a later installer over this one.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$1
version=${2:-$(sed -n 's/^project(vostrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)}
out=$(realpath "${3:-.}")
name=vostrel-$version-win64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
for program in vostrel.exe vostrel-cli.exe; do
  if [ -f "$build/bin/$program" ]; then
    # Without symbols: the zip is for users, the build keeps the full ones.
    x86_64-w64-mingw32-strip -o "$stage/$name/$program" "$build/bin/$program"
  fi
done
# Nothing but the system's own DLLs may be needed.
for exe in "$stage/$name"/*.exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
     grep -viE '^(kernel32|user32|gdi32|comdlg32|comctl32|shell32|advapi32|bcrypt|ole32|msvcrt|ntdll|ws2_32|api-ms-win-.*)\.dll$'; then
    echo "$exe needs a DLL that Windows does not have" >&2
    exit 1
  fi
done
# Windows line ends, so that older Notepads show the lines; a UTF-8 mark,
# so that they show č, š and ž. Its first line names the version packed.
{ printf '\357\273\277'; sed "1s/^vostrel [0-9.]*/vostrel $version/; s/\$/\r/" tools/windows/README-windows.txt; } \
  > "$stage/$name/README.txt"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -9 -r - "$name") > "$out/$name.zip"
echo "$name.zip: $(stat -c %s "$out/$name.zip") bytes"
rm -f "$out/$name.msi"
# wixl finds the sources by paths relative to the .wxs file's folder (an
# absolute one fails), and takes only ASCII in a -D value.
msi=$out/$name.msi
company=$(sed -n 's/.*"CompanyName", "\(.*\)"/\1/p' app/version.rc)
plain=$(printf %s "$company" | iconv -f UTF-8 -t ASCII//TRANSLIT)
cp tools/windows/vostrel.wxs "$stage/"
(cd "$stage" && wixl -a x64 -D Version="$version" -D Stage="$name" -D Manufacturer="$plain" -o "$msi" vostrel.wxs)
# The company's name in full, in the code page of Slovenian Windows.
printf '\n\n1250\t_ForceCodepage\n' > "$stage/_ForceCodepage.idt"
msibuild "$msi" -i "$stage/_ForceCodepage.idt" \
  -q "UPDATE \`Property\` SET \`Value\`='$company' WHERE \`Value\`='$plain'"
echo "$name.msi: $(stat -c %s "$msi") bytes"
