#!/usr/bin/env bash
# Installs what a job needs on Debian 12, when run as root; otherwise prints
# the exact command to run and stops.
#   tools/deps.sh build [extra Debian packages...]   building and the demo
#   tools/deps.sh test  [extra Debian packages...]   the above, and the tests
#   tools/deps.sh deb   [extra Debian packages...]   building the .deb and lintian
# Any other first word is taken as a package and means "test" (as before).
set -euo pipefail
cd "$(dirname "$0")/.."

job=test
case "${1:-}" in
  build|test|deb) job=$1; shift ;;
esac

# qt6-translations-l10n: the toolkit's own words (the file chooser's) in the
# user's language, which the window (and so the demo) shows; gettext: msgfmt
# compiles po/; nlohmann-json3-dev: the JSON that --json writes and --undo reads;
# libssl-dev: libcrypto, which decrypts and encrypts password-protected ACE files.
want=(cmake ninja-build g++ pkg-config libssl-dev qt6-base-dev qt6-translations-l10n gettext nlohmann-json3-dev)
case $job in
  # GoogleTest; the independent readers the tests compare against
  # (mdbtools, and mdb-reader under Node); a display server for the window's
  # tests; the Slovenian locale the tests run the programs under; Samba's
  # testparm, whose reading of smb.conf the path map's own is compared with;
  # po4a, which tells whether the Slovenian manual pages keep up; smbd,
  # smbstatus, an SMB2/3 client (impacket) and smbclient for tests/samba.
  test) want+=(libgtest-dev libgmock-dev mdbtools xvfb xauth locales samba-common-bin po4a
               samba smbclient python3-impacket)
        # Node.js may come from elsewhere than Debian; only ask Debian for it when absent.
        command -v node >/dev/null 2>&1 || want+=(nodejs)
        command -v npm >/dev/null 2>&1 || want+=(npm) ;;
  # dpkg-shlibdeps (dpkg-dev) finds the run-time libraries; file tells it
  # which files are programs; po4a makes the Slovenian manual pages; lintian
  # checks the result.
  deb)  want+=(dpkg-dev file po4a lintian) ;;
esac
want+=("$@")

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

[ "$job" = test ] || exit 0

# sl_SI.UTF-8, so that the C library (and with it gettext) takes a Slovenian
# user's locale; tests that need it skip without it.
if ! locale -a 2>/dev/null | grep -qix 'sl_SI.utf8'; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Generating the locale sl_SI.UTF-8"
    grep -q '^sl_SI.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'sl_SI.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
  else
    echo "The locale sl_SI.UTF-8 is missing. Run:"
    echo "  echo 'sl_SI.UTF-8 UTF-8' | sudo tee -a /etc/locale.gen && sudo locale-gen"
  fi
fi

# The independent reader the tests compare against.
if [ ! -d tools/oracle/node_modules/mdb-reader ]; then
  (cd tools/oracle && npm ci --no-audit --no-fund --silent)
fi
