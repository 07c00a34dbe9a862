#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
set -euo pipefail
build=${1:-build}
"$build/core_bench"
# The window benchmarks need no display.
QT_QPA_PLATFORM=offscreen "$build/main_window_bench"
"$build/startup_bench"
