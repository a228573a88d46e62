#!/usr/bin/env bash
# Processor time of idle tools and of the driver host they keep open: the host with two ports
# wired as a pair, `kessup --port 2 --repeat` on port 2 and nothing on the line, measured over
# a window (default 20 s) after a second to settle. Prints each process's share of one core,
# and the load average beside it (the machine is shared).
# Usage: bench/idle_processor.sh <build dir> [seconds]
set -euo pipefail
bin=${1:?build directory, e.g. build/bench}
seconds=${2:-20}
export QORVAL_PREFIX=$(mktemp -d)
host_pid= tool_pid=
stop_all() {
  [ -n "$tool_pid" ] && kill -INT "$tool_pid" 2>/dev/null && wait "$tool_pid" 2>/dev/null || true
  [ -n "$host_pid" ] && kill -TERM "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null || true
  rm -rf "$QORVAL_PREFIX"
}
trap stop_all EXIT

# utime + stime of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

"$bin/host/wyvel32" run --ports 2 --wire pair >"$QORVAL_PREFIX/host.out" 2>&1 &
host_pid=$!
for _ in $(seq 1 200); do
  grep -q "running" "$QORVAL_PREFIX/host.out" 2>/dev/null && break
  sleep 0.05
done
grep -q "running" "$QORVAL_PREFIX/host.out" || { cat "$QORVAL_PREFIX/host.out"; exit 1; }
"$bin/kessup" --port 2 --repeat >"$QORVAL_PREFIX/tool.out" 2>&1 &
tool_pid=$!
sleep 1
host_before=$(ticks "$host_pid") tool_before=$(ticks "$tool_pid")
sleep "$seconds"
host_after=$(ticks "$host_pid") tool_after=$(ticks "$tool_pid")
hz=$(getconf CLK_TCK)
awk -v h=$((host_after - host_before)) -v t=$((tool_after - tool_before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "kessup --port 2 --repeat: %.2f %% of a core; host: %.2f %% of a core\n", 100*t/hz/s, 100*h/hz/s }'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
