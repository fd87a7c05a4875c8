#!/usr/bin/env bash
# A pulled cable is told within 15 s: console-sim in a private network namespace with its live
# board, a judge's station in another, joined by a veth pair. The veth is taken down and the
# board's state must show the judge's link lost within 15 s (TCP keep-alive).
# Usage: deadlink_netns.sh CONSOLE-SIM. Exit 77 (skipped) where namespaces cannot be made.
set -euo pipefail
sim=$1
if ! unshare -n true 2>/dev/null; then
  echo "skip: cannot create a private network namespace here"
  exit 77
fi
work=$(mktemp -d)
# The station's namespace, held by a process of its own.
unshare -n sleep 120 >/dev/null 2>&1 &
station=$!
trap 'kill "$station" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do
  [ "$(readlink /proc/$station/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
  sleep 0.1
done

unshare -n bash -s "$sim" "$station" "$work" <<'SERVER'
set -euo pipefail
sim=$1; station=$2; work=$3
ip link set lo up
ip link add va type veth peer name vb
ip link set vb netns "$station"
ip addr add 10.99.0.1/24 dev va
ip link set va up
nsenter -t "$station" -n ip addr add 10.99.0.2/24 dev vb
nsenter -t "$station" -n ip link set vb up
cd "$work"
"$sim" --bind 10.99.0.1 --board 8080 --pulse 0 </dev/null >sim.log 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
judge2() { curl -s --max-time 2 http://10.99.0.1:8080/state | grep -o '"judge":2,[^}]*' || true; }
for _ in $(seq 100); do grep -q "live board" sim.log && break; sleep 0.1; done
# Judge 2's station: announces itself and reads whatever it is sent.
nsenter -t "$station" -n bash -c \
  'exec 3<>/dev/tcp/10.99.0.1/8963; printf "\001CCIND J2  \002Judge 2\004" >&3; exec cat <&3 >/dev/null' \
  >/dev/null 2>&1 &
judge=$!
trap 'kill "$server" "$judge" 2>/dev/null || true' EXIT
for _ in $(seq 100); do judge2 | grep -q '"link":"connected"' && break; sleep 0.1; done
judge2 | grep -q '"link":"connected"' || { echo "FAIL: judge 2 did not connect"; cat sim.log; exit 1; }
start=$(date +%s%N)
ip link set va down  # the cable pulled
for _ in $(seq 250); do judge2 | grep -q '"link":"link lost"' && break; sleep 0.1; done
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
if ! judge2 | grep -q '"link":"link lost"'; then
  echo "FAIL: judge 2's link not shown lost after ${elapsed} ms"; tail -20 sim.log; exit 1
fi
echo "judge 2's link shown lost ${elapsed} ms after the cable was pulled"
grep "WARNING: judge 2's link is lost" sim.log
[ "$elapsed" -le 15000 ] || { echo "FAIL: more than 15 s"; exit 1; }
SERVER
