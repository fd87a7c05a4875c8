#!/usr/bin/env bash
# Runs the end-to-end suite (the Linux build's tst_e2e: its own X server, real xdotool input, a
# scripted event server on loopback) against the Windows station under Wine. Needs
# scripts/build.sh and scripts/build-windows.sh to have run.
#
#   bash scripts/windows-e2e.sh                        # every case
#   bash scripts/windows-e2e.sh connectAndScoreADive   # the ones named
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
BUILD_WIN=${BUILD_WIN:-build-win}
. scripts/wine-env.sh
[ -f "$BUILD_WIN/bin/marlo-dv.exe" ] || { echo "windows-e2e: no $BUILD_WIN/bin/marlo-dv.exe" >&2; exit 1; }
cmake --build "$BUILD" --target tst_e2e > /dev/null
# A fresh Wine prefix, made ready before the test's private namespaces (its server is let go).
work=$(mktemp -d)
trap 'wine_end; rm -rf "$work"' EXIT
wine_prefix "$work"
MARLO_E2E_STATION=$PWD/$BUILD_WIN/bin/marlo-dv.exe QT_QPA_PLATFORM=offscreen \
  "$BUILD/tests/tst_e2e" "$@"
