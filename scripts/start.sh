#!/usr/bin/env bash
# Installs what is missing, builds, and starts the rehearsal event server with its demo event
# in this terminal, where its commands are typed (help, status, next, ...), and the station
# beside it. The server scores for every judge who has no station connected (--fill-missing),
# so that one person with one station can score the whole demo. Closing the station stops the
# server; quitting the server (quit, Ctrl-C) closes the station.
#
# Arguments go to console-sim: `bash scripts/start.sh tools/console-sim/demo-event.txt` runs
# that event instead, `bash scripts/start.sh --seed 7` fills in the same scores every time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
mkdir -p build/run

sim_pid=""
station_pid=""
stop() {
  trap - EXIT
  for pid in $station_pid $sim_pid; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The server reads its commands from this script's standard input (the terminal, or a pipe or
# file; without one it serves on). Its log is shown here and kept in build/run/console-sim.log.
build/bin/console-sim --fill-missing "$@" <&0 > >(tee build/run/console-sim.log) 2>&1 &
sim_pid=$!

# The station, beside it; its own messages go to a file, not into the server's terminal.
build/bin/marlo-dv < /dev/null > build/run/marlo-dv.log 2>&1 &
station_pid=$!

# Whichever ends first ends the other.
status=0
wait -n "$sim_pid" "$station_pid" || status=$?
if ! kill -0 "$station_pid" 2>/dev/null; then
  station_pid=""
  if [ "$status" -ne 0 ]; then
    echo "start: the station ended with status $status; its messages are in build/run/marlo-dv.log" >&2
  fi
  echo "start: the station has closed; stopping console-sim" >&2
else
  sim_pid=""
  echo "start: console-sim has stopped; closing the station" >&2
fi
