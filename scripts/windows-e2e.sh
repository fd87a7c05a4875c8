#!/usr/bin/env bash
# Runs the end-to-end suite (the Linux build's tst_e2e: its own X server, real xdotool input, a
# scripted event server on loopback) and the keyboard layouts (tst_e2e_keys: the X server's
# layout, which Wine takes for the Windows station's) against the Windows station under Wine.
# Needs scripts/build.sh and scripts/build-windows.sh to have run.
#
#   bash scripts/windows-e2e.sh                        # every case, then the keyboard layouts
#   bash scripts/windows-e2e.sh connectAndScoreADive   # the ones named (tst_e2e)
#   bash scripts/windows-e2e.sh --keys                 # the keyboard layouts alone
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
BUILD_WIN=${BUILD_WIN:-build-win}
. scripts/wine-env.sh
[ -f "$BUILD_WIN/bin/marlo-dv.exe" ] || { echo "windows-e2e: no $BUILD_WIN/bin/marlo-dv.exe" >&2; exit 1; }
cmake --build "$BUILD" --target tst_e2e tst_e2e_keys > /dev/null
# A fresh Wine prefix, made ready before the test's private namespaces (its server is let go).
work=$(mktemp -d)
trap 'wine_end; rm -rf "$work"' EXIT
wine_prefix "$work"
export MARLO_E2E_STATION=$PWD/$BUILD_WIN/bin/marlo-dv.exe QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--keys" ]; then
  "$BUILD/tests/tst_e2e_keys"
  exit
fi
"$BUILD/tests/tst_e2e" "$@"
[ $# -gt 0 ] || "$BUILD/tests/tst_e2e_keys"
