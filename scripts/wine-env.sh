# Sourced by the Wine scripts: Debian's wine64 (in Wine's library folder, not on the PATH),
# quiet, without the .NET and HTML engines it would offer to download, and a fresh prefix.
#
#   . scripts/wine-env.sh
#   wine_prefix "$(mktemp -d)"   # WINEPREFIX=<folder>/prefix, booted
#   "$WINE" program.exe
#   wine_end                     # ends the prefix's Wine session (its server and services)
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
