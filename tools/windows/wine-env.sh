# Sourced: Wine quiet, headless, in one prefix made once and reused.
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vostrel-wine}
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
# Wine reads a program's command line in the character set of the locale it
# runs in: under C or POSIX (a root shell, CI, cron) a UTF-8 "Pisarna Čšž"
# reaches the program as "Pisarna D\fE!E>", each byte cut to seven bits
# (measured with Wine 8.0, GetCommandLineW), and a folder so named does not
# exist. A UTF-8 character type keeps the names; the language is left as
# it is.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  if [ -n "${LC_ALL:-}" ]; then export LC_ALL=C.UTF-8; else export LC_CTYPE=C.UTF-8; fi
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  mkdir -p "$(dirname "$WINEPREFIX")"  # Wine makes the prefix, not the folders above it
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p 2>/dev/null || true  # one server for every run that follows
# Wine's own services start with the first program and outlive it: started
# here, they do not hold the output pipes of a later one (ctest waits on those).
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
