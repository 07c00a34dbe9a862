#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The editor as a screen reader sees it: a private X server with a window manager, a private
# D-Bus session with its AT-SPI bus, the editor on them, and tests/screen_reader_test.py
# reading its accessibility tree with pyatspi and typing with xdotool; before it, the events the
# tree sends, in-process (surface_focus_tests). Needs no display.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac

work=$(mktemp -d)
pids=()
stop() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT

# Wait up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for ((; tenths > 0; tenths--)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "screen-reader-check: gave up waiting for: $*" >&2
  return 1
}

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 100 grep -q . "$work/display"
export DISPLAY=":$(head -1 "$work/display")"

# Without a window manager a dialog that closes leaves no window with the keyboard focus.
setsid openbox --sm-disable </dev/null >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 100 xprop -root _NET_SUPPORTING_WM_CHECK

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
unset QT_QPA_PLATFORM
# The session bus and the AT-SPI bus it starts end with this command. First the tree's own
# events in-process (the offscreen platform has no accessibility to send them through), with
# accessibility switched on as a desktop does when a screen reader starts; then the client.
# The buses get no DISPLAY, so that nothing of theirs outlives the session on the X server; the
# client finds the AT-SPI bus through the session bus.
timeout 120 env -u DISPLAY dbus-run-session -- bash -c '
  set -e
  export DISPLAY=$3
  dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
    variant:boolean:true >/dev/null
  out=$(QT_QPA_PLATFORM=xcb "$1/surface_focus_tests" --gtest_filter="*Announces*" 2>&1) ||
    { echo "$out"; exit 1; }
  case "$out" in *SKIPPED*) echo "$out"; echo "FAIL the accessibility bridge did not start"; exit 1 ;; esac
  echo "ok   the tree announces focus, bank, layer and assignment changes (in-process)"
  /usr/bin/python3 "$2/tests/screen_reader_test.py" "$1/qob-editor"
' screen-reader-check "$build" "$root" "$DISPLAY"
