#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the preset reader fuzzer with clang and runs it from the committed seed corpus.
# Any finding fails the run; the input that caused it is kept in <build>/fuzz-artifacts.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
jobs=${3:-2}
root=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$root" -B "$build" -DQOB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$jobs" --target preset_reader_fuzz
build=$(cd "$build" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# New inputs go to a scratch folder so the committed corpus stays as it is.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
log="$work/fuzz.log"
status=0
(cd "$work" && "$build/preset_reader_fuzz" -max_total_time="$seconds" -timeout=5 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$work/corpus" "$root/tests/fuzz/corpus") \
  >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  cat "$log" >&2
  echo "fuzz: the preset reader fuzzer found a fault (exit $status); input kept in $artifacts" >&2
  exit "$status"
fi
tail -n 6 "$log"
