#!/usr/bin/env bash
# Runs every benchmark already built in build/bench (or $BUILD_DIR/bench) and prints all their
# figures, with the machine they were measured on, for the README's table. It builds nothing:
# run `bash scripts/build.sh` first. A benchmark that is not built is skipped and said so.
#
#   bash bench/run_all.sh            every benchmark with its own default size
#   BUILD_DIR=build-rel bash bench/run_all.sh
#
# Extra benchmarks found in the folder are run too, after the known ones. Exits non-zero when
# a benchmark fails (the others still run).
set -uo pipefail
cd "$(dirname "$0")/.."
BENCH_DIR="${BUILD_DIR:-build}/bench"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

known=(bench_startup bench_link bench_layout bench_led bench_scoring bench_inbound bench_soak bench_stall)

cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//')
echo "== machine"
echo "date:     $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "cpu:      ${cpu:-unknown} ($(nproc) logical cores)"
echo "kernel:   $(uname -sr)"
if [ -r /etc/os-release ]; then
  echo "system:   $(. /etc/os-release; echo "$PRETTY_NAME")"
fi
if command -v qtpaths6 >/dev/null 2>&1; then
  echo "qt:       $(qtpaths6 --qt-version 2>/dev/null)"
fi
echo "load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min)"
echo "platform: QT_QPA_PLATFORM=$QT_QPA_PLATFORM"

if [ ! -d "$BENCH_DIR" ]; then
  echo "no $BENCH_DIR: build first (bash scripts/build.sh)" >&2
  exit 1
fi

status=0
run() {
  local name=$1
  local exe="$BENCH_DIR/$name"
  echo
  echo "== $name"
  if [ ! -x "$exe" ]; then
    echo "(not built; skipped)"
    return
  fi
  local start end rc
  start=$(date +%s%N)
  "$exe"
  rc=$?
  end=$(date +%s%N)
  printf '(%s: exit %d, %d.%d s)\n' "$name" "$rc" $(((end - start) / 1000000000)) $(((end - start) / 100000000 % 10))
  [ "$rc" -eq 0 ] || status=1
}

for name in "${known[@]}"; do
  run "$name"
done
for exe in "$BENCH_DIR"/bench_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  name=$(basename "$exe")
  case " ${known[*]} " in
    *" $name "*) ;;
    *) run "$name" ;;
  esac
done
exit $status
