#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# with-jack.sh CMD [ARGS...]: runs CMD with a private JACK server (dummy driver, no sound
# device needed) and stops the server afterwards, also when CMD fails or is interrupted.
# CMD sees the server through JACK_DEFAULT_SERVER. QOB_JACK_PERIOD sets its period (128);
# QOB_JACK_SYNC=1 makes it wait for late clients instead of dropping their cycle.
set -euo pipefail
. "$(dirname "$0")/private-server.sh"

# A runtime folder of our own unless one is given; ours goes with the server.
runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d)
  export XDG_RUNTIME_DIR=$runtime
fi
chmod 700 "$XDG_RUNTIME_DIR"
# Our own name, so parallel runs and a desktop's server never meet; no client may start one.
export JACK_DEFAULT_SERVER="qob-test-$$-$RANDOM"
export JACK_NO_START_SERVER=1
export JACK_NO_AUDIO_RESERVATION=1

log=$(mktemp)
jack_pid=
stop_jack() {
  if [ -n "$jack_pid" ]; then
    stop_processes "$jack_pid"
  fi
  # What a client that died with the server leaves behind.
  rm -f "/dev/shm/jack_${JACK_DEFAULT_SERVER}_"* "/dev/shm/jack_sem."*"_${JACK_DEFAULT_SERVER}_"*
  rm -f "$log"
  if [ -n "$runtime" ]; then
    rm -rf "$runtime"
  fi
}
trap stop_jack EXIT

sync=()
if [ -n "${QOB_JACK_SYNC:-}" ]; then
  sync=(-S)
fi
jackd "${sync[@]}" -r -d dummy -r 48000 -p "${QOB_JACK_PERIOD:-128}" >"$log" 2>&1 &
jack_pid=$!

# jack_wait -c says yes even without a server; jack_lsp only answers a running one.
if ! wait_ready "$jack_pid" jack_lsp; then
  echo "with-jack: the JACK server did not start:" >&2
  cat "$log" >&2
  exit 1
fi

run_command "$@"
