#!/usr/bin/env bash
# Runs the Windows build's unit tests (build-win/tests, from scripts/build-windows.sh) under
# Wine, off screen, in a fresh Wine prefix, with a time limit each. Exit status 0 when
# every test passed.
#
#   bash scripts/windows-tests.sh              # every tst_*.exe
#   bash scripts/windows-tests.sh tst_inbound  # the ones named
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_WIN:-build-win}
. scripts/wine-env.sh
work=$(mktemp -d)
trap 'wine_end; rm -rf "$work"' EXIT
wine_prefix "$work"
cd "$BUILD/tests"
tests=("$@")
if [ ${#tests[@]} -eq 0 ]; then
  for f in tst_*.exe; do tests+=("${f%.exe}"); done
fi
failed=0
for t in "${tests[@]}"; do
  start=$(date +%s)
  # QtTest's own log file: a console program's output under Wine does not always reach a pipe.
  rm -f "$t.wine.txt"
  # Off screen (Wine does not pass QT_QPA_PLATFORM on); a test without Qt Gui (the core's, the
  # server's) takes no -platform.
  platform=(-platform offscreen)
  if ! grep -aq 'Qt6Gui.dll' "$t.exe"; then platform=(); fi
  timeout 300 "$WINE" "$t.exe" "${platform[@]}" -o "$t.wine.txt,txt" > /dev/null 2>&1
  rc=$?
  totals=$(grep -a '^Totals' "$t.wine.txt" 2>/dev/null || echo "no totals")
  echo "wine: $t rc=$rc $(( $(date +%s) - start ))s $totals"
  if [ $rc -ne 0 ]; then
    failed=1
    grep -a '^FAIL' "$t.wine.txt" 2>/dev/null | head -n 20
  fi
done
exit $failed
