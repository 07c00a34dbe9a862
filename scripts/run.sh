#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the editor. Without a display it writes what the window would show to
# <build>/screenshot.png instead, on the offscreen platform.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): writing $build/screenshot.png instead."
  export QT_QPA_PLATFORM=offscreen
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
  exec "$build/qob-editor" --screenshot "$build/screenshot.png"
fi
exec "$build/qob-editor"
