#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/$build/qob" show "$root/resources/Default.QOB"
