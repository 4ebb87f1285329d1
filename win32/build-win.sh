#!/usr/bin/env bash
# Cross-builds everything for 64-bit Windows (Release) into build-win:
#   build-win/win32/neb01.exe, build-win/win32/nebmenu/nebmenu.exe,
#   build-win/cli/neb01-extract.exe and the test programs (ctest runs them
#   through Wine). Installs what it needs (tools/deps.sh), and checks
#   that the programs need no DLL beyond Windows' own.
# NEB_E2E_BUILD_DIR names another build directory.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${NEB_E2E_BUILD_DIR:-$ROOT/build-win}"

log() { printf '[build-win] %s\n' "$*"; }
bash "$ROOT/tools/deps.sh" cross wine  # wine: ctest runs the test programs through it

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" -j2

# A static program imports only the system's DLLs: no libstdc++, libgcc or
# winpthread beside it.
status=0
for exe in "$BUILD/win32/neb01.exe" "$BUILD/win32/nebmenu/nebmenu.exe" "$BUILD/cli/neb01-extract.exe"; do
  if [ ! -f "$exe" ]; then
    log "missing: $exe"
    status=1
    continue
  fi
  foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|msvcrt|ntdll|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' || true)
  if [ -n "$foreign" ]; then
    log "$(basename "$exe") needs DLLs beyond Windows' own: $foreign"
    status=1
  fi
done
[ "$status" = 0 ] && log "built in $BUILD"
exit "$status"
