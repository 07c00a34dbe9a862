#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
set -euo pipefail
build=${1:-build}
"$build/core_bench"
# The window benchmarks need no display.
QT_QPA_PLATFORM=offscreen "$build/main_window_bench"
"$build/startup_bench"
# The transfer needs a MIDI service: a private JACK server with the dummy driver.
QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1 \
  timeout 300 bash "$(dirname "$0")/with-jack.sh" "$build/transfer_bench"
