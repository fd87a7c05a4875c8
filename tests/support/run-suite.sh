#!/usr/bin/env bash
# Runs one QtTest executable for CTest. A suite that skips itself whole (its initTestCase
# skips: no root or unshare for private namespaces, no weston, ...) ends with 77, which CTest
# reports as skipped; its reason is the last line of its output ("<name> skipped: <reason>").
# Under CI (CI=true), which runs as root with everything installed, such a suite fails instead.
#   bash tests/support/run-suite.sh <test executable> [arguments]
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
skip=$(grep -a -m1 -E '^SKIP   : [A-Za-z0-9_]+::initTestCase\(\) ' "$log")
if [ "$rc" -eq 0 ] && [ -n "$skip" ]; then
  reason=${skip#*initTestCase() }
  if [ "${CI:-}" = true ]; then
    echo "$(basename "$1") FAILED: skipped whole under CI, which must run it: $reason"
    exit 1
  fi
  echo "$(basename "$1") skipped: $reason"
  exit 77
fi
exit "$rc"
