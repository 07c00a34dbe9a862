#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# with-pipewire.sh CMD [ARGS...]: runs CMD against a private PipeWire (with its JACK interface)
# on a session bus of its own, and stops both afterwards, also when CMD fails or is
# interrupted. Works without sound hardware, as root too. CMD and every JACK program it starts
# use PipeWire's libjack (pw-jack); QOB_PIPEWIRE=1 tells the tests where they run.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

# A runtime folder of our own: PipeWire puts its socket there, and no desktop session meets it.
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
unset JACK_DEFAULT_SERVER PIPEWIRE_REMOTE
export QOB_PIPEWIRE=1
log=$runtime/log

bus_pid=
pw_pid=
wp_pid=
cmd_pid=
stop_all() {
  for pid in $wp_pid $pw_pid $bus_pid; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in $wp_pid $pw_pid $bus_pid; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  done
  rm -rf "$runtime"
}
trap stop_all EXIT
trap '[ -n "$cmd_pid" ] && kill -TERM "$cmd_pid" 2>/dev/null; exit 130' INT TERM

# Address on the first line, PID on the second.
{
  read -r address
  read -r bus_pid
} < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$address

pipewire >"$log" 2>&1 &
pw_pid=$!
wireplumber >>"$log" 2>&1 &
wp_pid=$!

# Ready once a JACK client gets an answer and the MIDI bridge of the session manager is up.
ready=0
for _ in $(seq 100); do
  if ! kill -0 "$pw_pid" 2>/dev/null; then
    break
  fi
  if timeout 5 pw-jack jack_lsp >/dev/null 2>&1; then
    ready=1
    break
  fi
  sleep 0.1
done
if [ "$ready" -ne 1 ]; then
  echo "with-pipewire: PipeWire did not start:" >&2
  cat "$log" >&2
  exit 1
fi

# In the background, so that a signal reaches the trap at once rather than after CMD ends.
pw-jack "$@" &
cmd_pid=$!
set +e
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
