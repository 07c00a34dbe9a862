#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Everything `make test` runs: unit and CLI tests, the accessibility tree read over AT-SPI, the
# MIDI tests under a private JACK server at several periods and the delivery tests under a
# private PipeWire, the whole suite again under ASan+UBSan, the editor's start and shutdown
# under valgrind, and fuzz runs of the preset reader, the dump import and the Element Assign
# dialog's input rules. Also the Release configuration users build (GCC -O3, warnings as errors)
# with the core tests.
set -euo pipefail
build=${1:-build}
asan=${2:-build-asan}
fuzz=${3:-build-fuzz}
seconds=${4:-30}
jobs=${5:-2}
release=${6:-build-release}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

# Nothing may start a JACK server behind our back; the MIDI tests get one of their own. It is
# synchronous: without realtime scheduling on a busy machine an asynchronous server drops the
# cycles of late clients, and with them the MIDI data the tests look for.
export JACK_NO_START_SERVER=1 QOB_JACK_SYNC=1

echo "== unit and CLI tests"
ctest --test-dir "$build" --output-on-failure -j "$jobs" -LE jack

echo "== the Release configuration users and packagers build (GCC, -O3), and the core tests there"
cmake -S . -B "$release" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DQOB_WERROR=ON \
  -DQOB_BENCH=OFF >/dev/null
cmake --build "$release" -j "$jobs"
"$release/core_tests" --gtest_brief=1

echo "== the editor through a screen reader's eyes: AT-SPI under Xvfb, openbox and a private D-Bus"
bash scripts/screen-reader-check.sh "$build"

echo "== MIDI transfer through a JACK server (dummy driver)"
# One at a time: they share the server and look for each other's ports by name. The server runs
# without realtime priority and may miss a cycle; the sender then sends the whole dump again and
# says so, which the tests check rather than retry.
timeout 600 bash scripts/with-jack.sh ctest --test-dir "$build" --output-on-failure -L jack

echo "== MIDI delivery through PipeWire's JACK interface (private session, dummy driver)"
timeout 300 bash scripts/with-pipewire.sh "$build/midi_jack_tests" \
  --gtest_filter='JackTest.DeliveryIs*:JackTest.ASender*:JackListenTest.*'

echo "== the Debian package, unpacked and run"
bash scripts/package-check.sh "$build"

echo "== the editor's start-up and shutdown under valgrind"
bash scripts/valgrind-check.sh "$build"

echo "== all tests again under AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer on)"
# No benchmarks there: they measure, and the sanitizers would only slow them down.
cmake -S . -B "$asan" -DQOB_CORE_ONLY=OFF -DQOB_SANITIZE=ON -DQOB_BENCH=OFF -DQOB_WERROR=ON \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$asan" -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1
ASAN_OPTIONS+=:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir "$asan" --output-on-failure -j "$jobs" -LE jack
timeout 600 bash scripts/with-jack.sh ctest --test-dir "$asan" --output-on-failure -L jack
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== fuzzing the preset reader and the dump import for ${seconds}s each, each input rule for 10s"
bash scripts/fuzz.sh "$fuzz" "$seconds" "$jobs" 10

echo "== all tests passed"
