# Sourced: Wine quiet, headless, in one prefix made once and reused.
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vostrel-wine}
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p 2>/dev/null || true  # one server for every run that follows
# Wine's own services start with the first program and outlive it: started
# here, they do not hold the output pipes of a later one (ctest waits on those).
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
