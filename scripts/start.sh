#!/usr/bin/env bash
# Installs what is missing, builds, and starts the rehearsal event server (with its demo
# event) together with the station. Closing the station stops the server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
sim_pid=""
if [ -x build/bin/console-sim ]; then
  mkdir -p build/run
  build/bin/console-sim > build/run/console-sim.log 2>&1 < /dev/null &
  sim_pid=$!
  echo "console-sim is running (log: build/run/console-sim.log)"
fi
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT
build/bin/marlo-dv
