#!/usr/bin/env bash
# The Windows station's proof, run by CI after the Linux build: the toolchain (built once per
# machine), the Windows build, its unit tests and the end-to-end suite under Wine, the
# installer and the zip, a silent install under Wine into a fresh prefix, the installed
# station started from there, on its opening page, and the uninstaller.
set -euo pipefail
cd "$(dirname "$0")/.."
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
. scripts/wine-env.sh
work=$(mktemp -d)
cleanup() {
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT
wine_prefix "$work"
installer=$(ls -1 "$BUILD_WIN"/marlo-dv-*-win64.exe | head -n1)
timeout 300 "$WINE" "$installer" /S > /dev/null 2>&1
# The installer's session has no display; the station below starts one of its own on Xvfb.
wine_end
installed="$WINEPREFIX/drive_c/Program Files/Marlo DV"
for f in marlo-dv.exe console-sim.exe Qt6Core.dll platforms/qwindows.dll Uninstall.exe; do
  [ -f "$installed/$f" ] || { echo "windows-proof: the install lacks $f" >&2; exit 1; }
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Marlo DV"
for f in "$menu/Marlo DV.lnk" "$menu/console-sim (rehearsal server).lnk" "$WINEPREFIX/drive_c/users/Public/Desktop/Marlo DV.lnk"; do
  [ -f "$f" ] || { echo "windows-proof: the install made no $f" >&2; exit 1; }
done
# The programs once, at the top of the folder.
[ ! -e "$installed/bin" ] || { echo "windows-proof: the install has a bin folder" >&2; exit 1; }
folder=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/marlo-dv 2> /dev/null | head -n1)
[ -n "$folder" ] || { echo "windows-proof: the install made no %APPDATA%\\marlo-dv" >&2; exit 1; }
# Every other user's folder: the Active Setup entry's command, run as Windows runs it at a
# user's logon, makes the folder where it is missing.
entry='HKLM\Software\Microsoft\Active Setup\Installed Components\MarloDV'
stub=$("$WINE" reg query "$entry" /v StubPath 2> /dev/null | tr -d '\r' | sed -n 's/^ *StubPath *REG_SZ *//p')
[ -n "$stub" ] || { echo "windows-proof: no Active Setup entry for the user's folder" >&2; exit 1; }
rmdir "$folder"
printf '%s\r\n' "$stub" > "$WINEPREFIX/drive_c/stubpath.cmd"  # its command line, as it stands
"$WINE" cmd.exe /c 'C:\stubpath.cmd' > /dev/null 2>&1
[ -d "$folder" ] || { echo "windows-proof: the Active Setup entry ($stub) made no folder" >&2; exit 1; }
wine_end
lap "silent install"

# The installed station, started as its shortcut starts it (in the user's own folder), on an
# X server of its own: its opening page shows (the blue strip at (12, 140)).
wine_display 1218x805
(cd "$folder" && exec "$WINE" "$installed/marlo-dv.exe") > /dev/null 2>&1 &
station=$!
pixel=""
for _ in $(seq 120); do
  pixel=$(opening_pixel)
  [ "$pixel" = "#0000FF" ] && break
  kill -0 "$station" 2> /dev/null || { echo "windows-proof: the installed station ended" >&2; exit 1; }
  sleep 1
done
[ "$pixel" = "#0000FF" ] || { echo "windows-proof: the installed station showed no opening page in 120 s ($pixel)" >&2; exit 1; }
kill "$station" 2> /dev/null || true
lap "installed station on its opening page"

# The uninstaller (it runs on from a copy of itself: the session's end is its end) removes the
# programs, the shortcuts and the Active Setup entry.
wine_end
timeout 120 "$WINE" 'C:\Program Files\Marlo DV\Uninstall.exe' /S > /dev/null 2>&1
timeout 120 "$WINESERVER" -w
[ ! -e "$installed" ] || { echo "windows-proof: the uninstaller left $installed" >&2; exit 1; }
! "$WINE" reg query "$entry" > /dev/null 2>&1 || { echo "windows-proof: the uninstaller left $entry" >&2; exit 1; }
lap "uninstall"
