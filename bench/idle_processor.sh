#!/usr/bin/env bash
# Processor time of idle tools and of the driver host they keep open. For each tool in turn: a
# fresh host with two ports wired as a pair, the tool on one port and nothing on the line,
# measured over a window (default 20 s) after a second to settle. Prints each process's share of
# one core, and the load average beside it (the machine is shared).
#
# Tools (all by default, in this order):
#   none      the host alone
#   kessup    the tester repeating: kessup --port 2 --repeat
#   vintor    the terminal without its window: vintor --port 1
#   lombex32  the analyser capturing without its window: lombex32 --capture --port 1
# Every tool's keyboard is a pipe nobody writes to (the terminal ends when its input does), and
# each build runs with its own port access library (LD_LIBRARY_PATH).
# Usage: bench/idle_processor.sh <build dir> [seconds] [tool...]
set -euo pipefail
bin=$(cd "${1:?build directory, e.g. build/bench}" && pwd)
seconds=${2:-20}
shift $(($# < 2 ? $# : 2))
tools=("$@")
[ ${#tools[@]} -gt 0 ] || tools=(none kessup vintor lombex32)
export LD_LIBRARY_PATH="$bin/portaccess/library${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
QORVAL_PREFIX=$(mktemp -d)
export QORVAL_PREFIX
host_pid='' tool_pid=''

# Stops a process this script started (SIGINT ends a tool's run as Ctrl-C does) and waits for it.
stop() {
  if [ -n "$2" ] && kill "-$1" "$2" 2>/dev/null; then
    wait "$2" 2>/dev/null || true
  fi
}
stop_tool_and_host() {
  stop INT "$tool_pid"
  stop TERM "$host_pid"
  tool_pid='' host_pid=''
}
trap 'stop_tool_and_host; exec 3>&-; rm -rf "$QORVAL_PREFIX"' EXIT

# A keyboard nobody types on: the FIFO held open for reading and writing here, so a tool that
# reads it never sees its end.
mkfifo "$QORVAL_PREFIX/keyboard"
exec 3<>"$QORVAL_PREFIX/keyboard"

# utime + stime of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Whether a process still runs (an ended child stays a zombie until it is waited for).
running() { [ -e "/proc/$1/stat" ] && [ "$(awk '{print $3}' "/proc/$1/stat")" != Z ]; }

tool_command() {
  case $1 in
    none) ;;
    kessup) echo "$bin/kessup --port 2 --repeat" ;;
    vintor) echo "$bin/vintor --port 1" ;;
    lombex32) echo "$bin/analyser/lombex32 --capture --port 1" ;;
    *) echo "unknown tool $1 (none, kessup, vintor, lombex32)" >&2; return 1 ;;
  esac
}

# Starts a fresh host, the tool (if any) on it, and prints both shares of a core.
measure() {
  local tool=$1 command
  command=$(tool_command "$tool")
  "$bin/host/wyvel32" run --ports 2 --wire pair >"$QORVAL_PREFIX/host.out" 2>&1 &
  host_pid=$!
  for _ in $(seq 1 200); do
    grep -q "running" "$QORVAL_PREFIX/host.out" 2>/dev/null && break
    sleep 0.05
  done
  grep -q "running" "$QORVAL_PREFIX/host.out" || { cat "$QORVAL_PREFIX/host.out"; return 1; }
  if [ -n "$command" ]; then
    $command <&3 >"$QORVAL_PREFIX/tool.out" 2>&1 &
    tool_pid=$!
  fi
  sleep 1
  local pids=("$host_pid" ${tool_pid:+"$tool_pid"}) before=() after=()
  for pid in "${pids[@]}"; do before+=("$(ticks "$pid")"); done
  sleep "$seconds"
  for pid in "${pids[@]}"; do after+=("$(ticks "$pid")"); done
  local load label=${command#"$bin/"}
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  for pid in "${pids[@]}"; do
    running "$pid" || {
      echo "$tool: a process ended during the measurement:" >&2
      cat "$QORVAL_PREFIX/host.out" "$QORVAL_PREFIX/tool.out" >&2; return 1; }
  done
  stop_tool_and_host
  awk -v tool="${label#analyser/}" -v h=$((after[0] - before[0])) \
      -v t=$(( ${#pids[@]} > 1 ? after[1] - before[1] : 0 )) -v hz="$(getconf CLK_TCK)" \
      -v s="$seconds" -v load="$load" 'BEGIN {
    if (tool == "") printf "host alone: %.2f %% of a core", 100*h/hz/s
    else printf "%s: %.2f %% of a core; host: %.2f %% of a core", tool, 100*t/hz/s, 100*h/hz/s
    printf " (load average %s)\n", load }'
}

for tool in "${tools[@]}"; do
  measure "$tool"
done
