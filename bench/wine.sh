#!/usr/bin/env bash
# Benchmark, not part of CI: a large log (default 1,000,000 QSOs) through the
# window of neb01.exe (Start click to the end of the program) and through
# neb01-extract.exe, in the same Wine session. Usage: bench/wine.sh [COUNT]
# NEB_E2E_SKIP_BUILD=1 uses the programs already built.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${NEB_E2E_BUILD_DIR:-$ROOT/build-win}"

[ "${NEB_E2E_SKIP_BUILD:-0}" = 1 ] || "$ROOT/win32/build-win.sh" || exit 1
# shellcheck source=../win32/tests/wine-env.sh
. "$ROOT/win32/tests/wine-env.sh"

log "benchmark with ${1:-1000000} QSOs"
timeout -k 10 3600 wine "$BUILD/bench/neb01-wine-bench.exe" "${1:-1000000}" "$(winepath -w "$NEB01")" \
  "$(winepath -w "$NEBMENU")" "$(winepath -w "$EXTRACT")" 'C:\neb-bench' >"$WORK/bench.log" 2>&1
rc=$?
tr -d '\r' <"$WORK/bench.log"
exit "$rc"
