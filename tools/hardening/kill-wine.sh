#!/usr/bin/env bash
# Under Wine on a virtual display: ends neb01.exe by TerminateProcess at random
# moments of a run, and by the close box at the final replacement, and checks
# that Work.Txt is always the complete old or the complete new file.
#
#   tools/hardening/kill-wine.sh [KILLS [CLOSES [QSOS]]]     (default 30 10 100000)
#
# Uses the programs of the cross build in build-win (win32/build-win.sh makes
# them); NEB_E2E_DISPLAY picks the X display (default 58).
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${NEB_E2E_BUILD_DIR:-$ROOT/build-win}"
DISPLAY_NO="${NEB_E2E_DISPLAY:-58}"
export NEB_E2E_SKIP_BUILD="${NEB_E2E_SKIP_BUILD:-1}"
kills=${1:-30} closes=${2:-10} count=${3:-100000}

KILLER="$BUILD/hardening/neb-wine-kill.exe"
mkdir -p "$(dirname "$KILLER")"
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion \
  -Wno-sign-conversion -Werror -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
  -D_WIN32_WINNT=0x0A00 -municode -static -I"$ROOT/win32" -I"$ROOT/win32/tests" \
  "$ROOT/tools/hardening/wine_kill.cpp" "$ROOT/win32/tests/driver/ui.cpp" \
  "$ROOT/win32/tests/driver/fixture.cpp" -o "$KILLER" -luser32 -lgdi32 -lcomctl32 || exit 1

# shellcheck source=../../win32/tests/wine-env.sh
. "$ROOT/win32/tests/wine-env.sh"

# Into a file, not a pipe: programs the runs started may hold a pipe open.
timeout -k 10 3000 wine "$KILLER" --neb01 "$NEB01" --nebmenu "$NEBMENU" --root 'C:\neb-kill' \
  --kills "$kills" --closes "$closes" --count "$count" >"$WORK/kill.log" 2>&1
rc=$?
tr -d '\r' <"$WORK/kill.log"
exit "$rc"
