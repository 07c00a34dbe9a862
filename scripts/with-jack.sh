#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# with-jack.sh CMD [ARGS...]: runs CMD with a private JACK server (dummy driver, no sound
# device needed) and stops the server afterwards, also when CMD fails or is interrupted.
# CMD sees the server through JACK_DEFAULT_SERVER. QOB_JACK_PERIOD sets its period (128);
# QOB_JACK_SYNC=1 makes it wait for late clients instead of dropping their cycle.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
# Our own name, so parallel runs and a desktop's server never meet; no client may start one.
export JACK_DEFAULT_SERVER="qob-test-$$-$RANDOM"
export JACK_NO_START_SERVER=1
export JACK_NO_AUDIO_RESERVATION=1

log=$(mktemp)
sync=()
if [ -n "${QOB_JACK_SYNC:-}" ]; then
  sync=(-S)
fi
jackd "${sync[@]}" -r -d dummy -r 48000 -p "${QOB_JACK_PERIOD:-128}" >"$log" 2>&1 &
jack_pid=$!

stop_jack() {
  if kill -0 "$jack_pid" 2>/dev/null; then
    kill -TERM "$jack_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$jack_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$jack_pid" 2>/dev/null || true
  fi
  wait "$jack_pid" 2>/dev/null || true
  # What a client that died with the server leaves behind.
  rm -f "/dev/shm/jack_${JACK_DEFAULT_SERVER}_"* "/dev/shm/jack_sem."*"_${JACK_DEFAULT_SERVER}_"*
  rm -f "$log"
}
cmd_pid=
trap stop_jack EXIT
trap '[ -n "$cmd_pid" ] && kill -TERM "$cmd_pid" 2>/dev/null; exit 130' INT TERM

# jack_wait -c says yes even without a server; jack_lsp only answers a running one.
ready=0
for _ in $(seq 100); do
  if ! kill -0 "$jack_pid" 2>/dev/null; then
    break
  fi
  if timeout 5 jack_lsp >/dev/null 2>&1; then
    ready=1
    break
  fi
  sleep 0.1
done
if [ "$ready" -ne 1 ]; then
  echo "with-jack: the JACK server did not start:" >&2
  cat "$log" >&2
  exit 1
fi

# In the background, so that a signal reaches the trap at once rather than after CMD ends.
"$@" &
cmd_pid=$!
set +e
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
