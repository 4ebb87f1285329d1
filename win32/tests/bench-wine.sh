#!/usr/bin/env bash
# Benchmark, not part of CI: a large database (default 1,000,000 QSOs) through
# the window of neb01.exe (the driver clicks Start and waits for the hand-off)
# and through neb01-extract.exe, both under Wine in the same run; prints both
# times and their ratio. Usage: bench-wine.sh [COUNT]
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${NEB_E2E_BUILD_DIR:-$ROOT/build-win}"
DISPLAY_NO="${NEB_E2E_DISPLAY:-57}"
COUNT="${1:-1000000}"

# shellcheck source=wine-env.sh
. "$ROOT/win32/tests/wine-env.sh"

log "benchmark with $COUNT QSOs"
timeout -k 10 3600 wine "$DRIVER" bench --count "$COUNT" --neb01 "$NEB01" --nebmenu "$NEBMENU" \
  --extract "$EXTRACT" --root 'C:\neb-bench' 2>&1 | tr -d '\r'
exit "${PIPESTATUS[0]}"
