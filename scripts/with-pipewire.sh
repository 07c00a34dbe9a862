#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# with-pipewire.sh CMD [ARGS...]: runs CMD against a private PipeWire (with its JACK interface)
# on a session bus of its own, and stops both afterwards, also when CMD fails or is
# interrupted. Works without sound hardware, as root too. CMD and every JACK program it starts
# use PipeWire's libjack (pw-jack); QOB_PIPEWIRE=1 tells the tests where they run.
set -euo pipefail
. "$(dirname "$0")/private-server.sh"

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
stop_all() {
  # shellcheck disable=SC2086 # the ones started so far
  stop_processes $wp_pid $pw_pid $bus_pid
  rm -rf "$runtime"
}
trap stop_all EXIT

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

# Ready once a JACK client gets an answer, with the session manager still running.
if ! wait_ready "$pw_pid $wp_pid" pw-jack jack_lsp; then
  echo "with-pipewire: PipeWire did not start:" >&2
  cat "$log" >&2
  exit 1
fi

run_command pw-jack "$@"
