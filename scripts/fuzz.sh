#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# fuzz.sh [BUILD] [SECONDS] [JOBS] [RULE_SECONDS]: builds the fuzzers with clang and runs each from
# its committed seed corpus: the preset reader and the dump import for SECONDS each, the Element
# Assign dialog's input rules (numbers, key texts, SysEx texts) for RULE_SECONDS each. Any
# finding fails the run; the input that caused it is kept in <build>/fuzz-artifacts.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
jobs=${3:-2}
rule_seconds=${4:-10}
root=$(cd "$(dirname "$0")/.." && pwd)

# target, corpus folder under tests/fuzz, seconds, longest input
fuzzers=(
  "preset_reader_fuzz corpus $seconds 65536"
  "dump_import_fuzz corpus-dump-import $seconds 16384"
  "numeric_rule_fuzz corpus-numeric-rule $rule_seconds 4096"
  "key_text_fuzz corpus-key-text $rule_seconds 4096"
  "sysex_text_fuzz corpus-sysex-text $rule_seconds 4096"
)
targets=()
for f in "${fuzzers[@]}"; do
  read -r target _ <<<"$f"
  targets+=("$target")
done

cmake -S "$root" -B "$build" -DQOB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"
build=$(cd "$build" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# New inputs go to a scratch folder so the committed corpora stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in "${fuzzers[@]}"; do
  read -r target corpus time max_len <<<"$f"
  mkdir "$work/$target"
  log="$work/$target.log"
  status=0
  (cd "$work" && "$build/$target" -max_total_time="$time" -timeout=5 -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$work/$target" \
    "$root/tests/fuzz/$corpus") >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    echo "fuzz: $target found a fault (exit $status); input kept in $artifacts" >&2
    exit "$status"
  fi
  echo "$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
done
