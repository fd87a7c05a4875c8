#!/usr/bin/env bash
# The Windows station's proof, run by CI after the Linux build: the toolchain (built once per
# machine), the Windows build, its unit tests and the end-to-end suite under Wine, the
# installer and the zip, and a silent install under Wine into a fresh prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
WINE=${WINE:-/usr/lib/wine/wine64}
BUILD_WIN=${BUILD_WIN:-build-win}
export BUILD_WIN
t0=$(date +%s)
lap() { echo "windows-proof: $1 after $(( $(date +%s) - t0 )) s"; }

bash scripts/windows-toolchain.sh > /dev/null
lap "toolchain ready"
bash scripts/build-windows.sh
lap "Windows build"
bash scripts/windows-tests.sh
lap "unit tests under Wine"
bash scripts/windows-e2e.sh
lap "end-to-end suite under Wine"
(cd "$BUILD_WIN" && cpack -G "NSIS;ZIP" > /dev/null && ls -1 marlo-dv-*-win64.exe marlo-dv-*-win64.zip)
lap "installer and zip"

# The silent install, into a fresh Wine prefix.
work=$(mktemp -d)
cleanup() {
  "$(dirname "$WINE")/wineserver" -k 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$WINE" wineboot -i > /dev/null 2>&1
installer=$(ls -1 "$BUILD_WIN"/marlo-dv-*-win64.exe | head -n1)
timeout 300 "$WINE" "$installer" /S > /dev/null 2>&1
installed="$WINEPREFIX/drive_c/Program Files/Marlo DV"
for f in marlo-dv.exe console-sim.exe Qt6Core.dll platforms/qwindows.dll Uninstall.exe; do
  [ -f "$installed/$f" ] || { echo "windows-proof: the install lacks $f" >&2; exit 1; }
done
lap "silent install"
