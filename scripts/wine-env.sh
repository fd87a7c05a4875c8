# Sourced by the Wine scripts: Debian's wine64 (in Wine's library folder, not on the PATH),
# quiet, without the .NET and HTML engines it would offer to download, and a fresh prefix.
#
#   . scripts/wine-env.sh
#   wine_prefix "$(mktemp -d)"   # WINEPREFIX=<folder>/prefix, booted
#   "$WINE" program.exe
#   wine_end                     # ends the prefix's Wine session (its server and services)
#   wine_display 1218x805        # a private Xvfb as DISPLAY; wine_stop ends it and the session
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=$(dirname "$WINE")/wineserver
[ -x "$WINE" ] || { echo "$(basename "$0"): no $WINE (apt-get install wine64)" >&2; exit 1; }
export WINE WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Makes and boots a prefix in the folder given, and ends the session that booted it: a Wine
# session keeps the display it was started on (none here), so each program started later,
# on whatever X server, starts a session of its own.
wine_prefix() {
  export WINEPREFIX=$1/prefix
  "$WINE" wineboot -i > /dev/null 2>&1
  wine_end
}

wine_end() {
  "$WINESERVER" -k 2> /dev/null || true
  "$WINESERVER" -w 2> /dev/null || true
}

# A private Xvfb of the size given (e.g. 1218x805), on the first free display from :77, as
# DISPLAY; wine_stop ends it with the Wine session.
xvfb_pid=""
wine_display() {
  local n=77
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${1}x24" -nolisten tcp -noreset > /dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && return 0; sleep 0.1; done
  echo "$(basename "$0"): no Xvfb on :$n" >&2
  return 1
}

wine_stop() {
  wine_end
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2> /dev/null || true
}

# The colour of the screen's pixel at (12, 140) as #RRGGBB: #0000FF once the station's opening
# page shows (its blue strip).
opening_pixel() {
  import -window root -depth 8 -crop 1x1+12+140 txt:- 2> /dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1 || true
}
