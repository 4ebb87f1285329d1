# Shared by run-wine-tests.sh and bench-wine.sh (sourced): packages, the cross
# build, a virtual display and a fresh Wine prefix that an EXIT trap removes.
# Expects ROOT, BUILD and DISPLAY_NO; sets DRIVER, NEB01, NEBMENU, EXTRACT, WORK.

log() { printf '[wine-tests] %s\n' "$*"; }

# ---------------------------------------------------------------- packages
need_install=0
for tool in x86_64-w64-mingw32-g++-posix wine Xvfb import; do
  command -v "$tool" >/dev/null 2>&1 || need_install=1
done
fc-list 2>/dev/null | grep IPAGothic >/dev/null || need_install=1
if [ "$need_install" = 1 ]; then
  log "installing packages"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
  $SUDO apt-get update -q || exit 1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q g++-mingw-w64-x86-64 wine wine64 \
    xvfb fonts-ipafont-gothic fonts-ipafont-mincho imagemagick || exit 1
fi

# ---------------------------------------------------------------- build
cross_build() {
  if [ -x "$ROOT/win32/build-win.sh" ]; then
    "$ROOT/win32/build-win.sh"
  else
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release && cmake --build "$BUILD" -j2
  fi
}
if [ "${NEB_E2E_SKIP_BUILD:-0}" = 1 ]; then
  log "cross build skipped"
elif ! { log "cross build"; cross_build; }; then
  # Go on when the programs themselves were built: their results still count.
  log "FAIL: cross build"
  NEB_BUILD_FAILED=1
fi
DRIVER="$BUILD/win32/tests/neb01-e2e.exe"
if [ ! -f "$DRIVER" ]; then
  # The driver is not part of the cross build yet: build it on its own.
  DRIVER="$BUILD/e2e-driver/neb01-e2e.exe"
  mkdir -p "$(dirname "$DRIVER")"
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -DUNICODE -D_UNICODE \
    -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0A00 -municode -static \
    "$ROOT"/win32/tests/driver/*.cpp -o "$DRIVER" -luser32 -lgdi32 -lcomctl32 || { log "FAIL: driver build"; exit 1; }
fi
NEB01="$BUILD/win32/neb01.exe"
NEBMENU="$BUILD/win32/nebmenu/nebmenu.exe"
EXTRACT="$BUILD/cli/neb01-extract.exe"
for f in "$NEB01" "$NEBMENU" "$EXTRACT"; do
  [ -f "$f" ] || { log "FAIL: missing $f"; exit 1; }
done

# ---------------------------------------------------------------- display and prefix
WORK="$(mktemp -d /tmp/neb-e2e.XXXXXX)"
XVFB_PID=""
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all DISPLAY=":$DISPLAY_NO"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

cleanup() {
  timeout -k 2 20 wineserver -k >/dev/null 2>&1
  timeout -k 2 20 wineserver -w >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  if [ "${NEB_E2E_KEEP:-0}" = 1 ]; then
    log "kept $WORK"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT

# A display left behind by a killed run: its lock names a process that is gone.
lock="/tmp/.X$DISPLAY_NO-lock"
if [ -f "$lock" ] && ! kill -0 "$(tr -dc 0-9 <"$lock")" 2>/dev/null; then
  rm -f "$lock" "/tmp/.X11-unix/X$DISPLAY_NO"
fi
if [ -e "/tmp/.X11-unix/X$DISPLAY_NO" ]; then
  log "FAIL: display :$DISPLAY_NO is in use (set NEB_E2E_DISPLAY)"
  exit 1
fi
Xvfb ":$DISPLAY_NO" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$DISPLAY_NO" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$DISPLAY_NO" ] || { log "FAIL: Xvfb did not start"; exit 1; }

log "fresh Wine prefix in $WINEPREFIX"
timeout -k 5 180 wineboot -i >"$WORK/wineboot.log" 2>&1 || { log "FAIL: wineboot"; exit 1; }
cat >"$WORK/settings.utf8" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐ明朝"="IPAPMincho"
"ＭＳ 明朝"="IPAMincho"
"MS UI Gothic"="IPAPGothic"
REG
# regedit reads UTF-16LE with a BOM and CR LF; anything else garbles the Japanese names.
{ printf '\xff\xfe'; sed 's/$/\r/' "$WORK/settings.utf8" | iconv -f UTF-8 -t UTF-16LE; } >"$WORK/settings.reg"
timeout -k 5 60 wine regedit /S "Z:${WORK//\//\\}\\settings.reg" || { log "FAIL: regedit"; exit 1; }
timeout -k 5 60 wineserver -w
# Keep one wineserver up for the whole run: each program then starts in a fraction of a second.
wineserver -p
timeout -k 5 60 wine cmd /c exit >/dev/null 2>&1

