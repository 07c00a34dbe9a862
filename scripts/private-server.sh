# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by with-jack.sh and with-pipewire.sh: what both do around a private server that CMD
# runs against. The script sets an EXIT trap that calls stop_processes on its servers.

if [ $# -eq 0 ]; then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

# An interrupted run tells CMD to stop too; leaving through exit runs the script's EXIT trap.
cmd_pid=
trap '[ -n "$cmd_pid" ] && kill -TERM "$cmd_pid" 2>/dev/null; exit 130' INT TERM

# stop_processes PID...: TERM to all, then up to 5 s each to end before KILL.
stop_processes() {
  local pid
  for pid in "$@"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# wait_ready "PID..." PROBE...: succeeds once PROBE does (5 s a try, 100 tries), fails at once
# when one of the processes has ended.
wait_ready() {
  local pids=$1 pid
  shift
  for _ in $(seq 100); do
    for pid in $pids; do
      kill -0 "$pid" 2>/dev/null || return 1
    done
    if timeout 5 "$@" >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# run_command CMD...: exits with CMD's status. CMD runs in the background, so that a signal
# reaches the trap at once rather than after CMD ends.
run_command() {
  "$@" &
  cmd_pid=$!
  set +e
  wait "$cmd_pid"
  local status=$?
  cmd_pid=
  exit "$status"
}
