#!/usr/bin/env bash
# Start-up time and resident memory of the station, the Linux build beside the Windows build
# under Wine, measured the same way: bench_startup (process start to the Opening page, median
# of 10, off screen and on an X server), and the station's VmRSS (/proc/<pid>/status) once its
# opening page shows on a 1218 x 805 Xvfb of its own (median of 3 starts). Builds nothing:
# needs scripts/build.sh and scripts/build-windows.sh.
#
#   bash bench/startup_wine.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
BUILD_WIN=${BUILD_WIN:-build-win}
. scripts/wine-env.sh
for f in "$BUILD/bench/bench_startup" "$BUILD/bin/marlo-dv" "$BUILD_WIN/bench/bench_startup.exe" "$BUILD_WIN/bin/marlo-dv.exe"; do
  [ -f "$f" ] || { echo "startup_wine: no $f" >&2; exit 1; }
done
# The Windows benchmark runs beside the station's DLLs.
cp "$BUILD_WIN/bench/bench_startup.exe" "$BUILD_WIN/bin/"
work=$(mktemp -d)
trap 'wine_stop; rm -rf "$work"' EXIT
wine_display 1218x805
wine_prefix "$work"

echo "== start-up, Linux, offscreen"
QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_startup" | head -n1
echo "== start-up, Linux, X11 (Xvfb)"
QT_QPA_PLATFORM=xcb "$BUILD/bench/bench_startup" | head -n1
echo "== start-up, Windows under Wine, offscreen"
"$WINE" "$BUILD_WIN/bin/bench_startup.exe" -platform offscreen 2> /dev/null | head -n1
echo "== start-up, Windows under Wine, windows platform (Xvfb)"
"$WINE" "$BUILD_WIN/bin/bench_startup.exe" -platform windows 2> /dev/null | head -n1
wine_end

# The station's resident memory on its opening page (the blue strip at (12, 140)).
rss() {
  local dir pid kb=""
  dir=$(mktemp -d "$work/station.XXXX")
  (cd "$dir" && exec "$@") > /dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1200); do
    [ "$(opening_pixel)" = "#0000FF" ] && break
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.1
  done
  kb=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2> /dev/null || true)
  kill "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
  echo "${kb:-?}"
}
median3() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
lin=(); win=()
for _ in 1 2 3; do lin+=("$(QT_QPA_PLATFORM=xcb rss "$PWD/$BUILD/bin/marlo-dv")"); done
for _ in 1 2 3; do win+=("$(rss "$WINE" "$PWD/$BUILD_WIN/bin/marlo-dv.exe")"); wine_end; done
echo "== resident memory on the opening page (VmRSS, kB; median of 3)"
echo "Linux, X11 (Xvfb): $(median3 "${lin[@]}") (${lin[*]})"
echo "Windows under Wine (the program's own process; Wine's server and services not counted): $(median3 "${win[@]}") (${win[*]})"
