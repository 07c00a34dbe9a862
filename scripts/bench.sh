#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
set -euo pipefail
build=${1:-build}
"$build/core_bench"
# The window benchmarks need no display.
QT_QPA_PLATFORM=offscreen "$build/main_window_bench"
"$build/startup_bench"
# The transfer needs a MIDI service: a private JACK server with the dummy driver at short and
# long periods, then a private PipeWire.
for period in 64 128 1024 2048; do
  echo "== transfer through jackd, period $period"
  QT_QPA_PLATFORM=offscreen QOB_JACK_PERIOD=$period \
    timeout 300 bash "$(dirname "$0")/with-jack.sh" "$build/transfer_bench"
done
echo "== listening: qob monitor through jackd (periods 128 and 1024) and the editor's locate"
for period in 128 1024; do
  QT_QPA_PLATFORM=offscreen QOB_JACK_PERIOD=$period QOB_JACK_SYNC=1 \
    timeout 300 bash "$(dirname "$0")/with-jack.sh" "$build/listen_bench"
done
echo "== transfer through PipeWire's JACK interface"
QT_QPA_PLATFORM=offscreen timeout 300 bash "$(dirname "$0")/with-pipewire.sh" \
  "$build/transfer_bench" --benchmark_filter=Jack
