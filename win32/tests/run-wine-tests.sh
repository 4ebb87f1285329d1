#!/usr/bin/env bash
# Cross-builds the Windows programs, then under Wine on a virtual display runs
# the cross-built unit tests and the end-to-end scenarios of neb01.exe, and
# saves screenshots as PNG under build-win/screenshots/.
#
# Environment: NEB_E2E_ONLY="scenario ..." to run some scenarios only,
# NEB_E2E_SKIP_BUILD=1 (the programs already built), NEB_E2E_SKIP_CTEST=1,
# and those of wine-env.sh (display, prefix folder, NEB_E2E_KEEP).
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${NEB_E2E_BUILD_DIR:-$ROOT/build-win}"
SHOTS="$BUILD/screenshots"

failed=0
if [ "${NEB_E2E_SKIP_BUILD:-0}" != 1 ] && ! "$ROOT/win32/build-win.sh"; then
  # Go on when the programs themselves were built: their results still count.
  echo "[wine-tests] FAIL: cross build"
  failed=1
fi
# shellcheck source=wine-env.sh
. "$ROOT/win32/tests/wine-env.sh"

# ---------------------------------------------------------------- unit tests
if [ "${NEB_E2E_SKIP_CTEST:-0}" != 1 ]; then
  log "cross-built unit tests (ctest under Wine)"
  if ! timeout -k 10 1800 ctest --test-dir "$BUILD" --output-on-failure --timeout 600; then
    log "FAIL: ctest in build-win"
    failed=1
  fi
fi

# ---------------------------------------------------------------- scenarios
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
SCENARIOS="${NEB_E2E_ONLY:-$(timeout -k 5 60 wine "$DRIVER" list | tr -d '\r')}"
passed_list=""; failed_list=""
for s in $SCENARIOS; do
  log "scenario $s"
  # Scenarios named *-ja run as on a Japanese Windows: Wine takes code page
  # 932 and the Japanese display language from the Unix locale.
  loc=C.UTF-8 && [[ $s == *-ja ]] && loc=ja_JP.UTF-8
  # Into a file, not a pipe: programs the scenario started may hold a pipe open.
  LANG=$loc LC_ALL=$loc timeout -k 10 300 wine "$DRIVER" "$s" --neb01 "$NEB01" --nebmenu "$NEBMENU" \
    --extract "$EXTRACT" --root 'C:\neb-e2e' --shots "$SHOTS" >"$WORK/$s.log" 2>&1
  rc=$?
  tr -d '\r' <"$WORK/$s.log"
  if [ "$rc" = 0 ]; then
    passed_list="$passed_list $s"
  else
    failed_list="$failed_list $s"
    failed=1
    [ "$rc" = 124 ] && log "FAIL: scenario $s timed out"
  fi
done

# Without time stamps or other metadata: the same window gives the same
# bytes, so the copies in docs/ change only when the window does.
for bmp in "$SHOTS"/*.bmp; do
  [ -f "$bmp" ] || continue
  convert "$bmp" -strip -define png:exclude-chunks=date,time "${bmp%.bmp}.png" && rm -f "$bmp"
done

bash "$ROOT/win32/tests/check-release.sh" "$BUILD" || failed=1

log "scenarios passed:${passed_list:- none}"
log "scenarios failed:${failed_list:- none}"
log "screenshots: $(cd "$SHOTS" && ls ./*.png 2>/dev/null | tr '\n' ' ')"
[ "$failed" = 0 ] && log "ALL PASSED" || log "FAILURES"
exit "$failed"
