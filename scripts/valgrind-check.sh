#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# valgrind-check.sh [BUILD]: starts the editor under memcheck, lets it write its screenshot and
# shut down, and fails on any memory error or any definite leak. Still-reachable blocks (Qt's
# and fontconfig's caches, freed by the process's end) are not counted. System-library reports
# that are safe to ignore are listed, with reasons, in tests/sanitizer/valgrind.supp.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/valgrind.log"
status=0
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --track-origins=yes --num-callers=30 \
  --suppressions="$root/tests/sanitizer/valgrind.supp" --log-file="$log" \
  "$build/qob-editor" --screenshot "$work/screenshot.png" >"$work/editor.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$work/screenshot.png" ]; then
  cat "$work/editor.log" "$log" >&2
  echo "valgrind-check: the editor under memcheck failed (exit $status)" >&2
  exit 1
fi
grep -E "definitely lost|ERROR SUMMARY" "$log" | sed 's/^==[0-9]*== *//'
