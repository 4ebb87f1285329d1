# Shared by run-wine-tests.sh and bench/wine.sh (sourced): a virtual display
# and a fresh Wine prefix that an EXIT trap removes, for programs already
# built (win32/build-win.sh). Expects ROOT and BUILD; sets DRIVER, NEB01,
# NEBMENU, EXTRACT, WORK. NEB_E2E_DISPLAY picks the X display (default 57),
# NEB_E2E_TMPDIR the folder that holds the prefix (default /tmp),
# NEB_E2E_KEEP=1 keeps the prefix for a look.

log() { printf '[wine-tests] %s\n' "$*"; }
DISPLAY_NO="${NEB_E2E_DISPLAY:-57}"

DRIVER="$BUILD/win32/tests/neb01-e2e.exe"
NEB01="$BUILD/win32/neb01.exe"
# The hand-offs go to a recorder in the menu's place.
NEBMENU="$BUILD/win32/tests/menu-recorder.exe"
EXTRACT="$BUILD/cli/neb01-extract.exe"
for f in "$DRIVER" "$NEB01" "$NEBMENU" "$EXTRACT"; do
  [ -f "$f" ] || { log "FAIL: missing $f"; exit 1; }
done

mkdir -p "${NEB_E2E_TMPDIR:-/tmp}"
WORK="$(mktemp -d "${NEB_E2E_TMPDIR:-/tmp}/neb-e2e.XXXXXX")"
XVFB_PID=""
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all DISPLAY=":$DISPLAY_NO"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

cleanup() {
  timeout -k 2 20 wineserver -k >/dev/null 2>&1
  timeout -k 2 20 wineserver -w >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  if [ "${NEB_E2E_KEEP:-0}" = 1 ]; then log "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# A display left behind by a killed run: its lock names a process that is gone.
lock="/tmp/.X$DISPLAY_NO-lock"
if [ -f "$lock" ] && ! kill -0 "$(tr -dc 0-9 <"$lock")" 2>/dev/null; then
  rm -f "$lock" "/tmp/.X11-unix/X$DISPLAY_NO"
fi
[ -e "/tmp/.X11-unix/X$DISPLAY_NO" ] && { log "FAIL: display :$DISPLAY_NO is in use (set NEB_E2E_DISPLAY)"; exit 1; }
Xvfb ":$DISPLAY_NO" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$DISPLAY_NO" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$DISPLAY_NO" ] || { log "FAIL: Xvfb did not start"; exit 1; }

log "fresh Wine prefix in $WINEPREFIX"
timeout -k 5 180 wineboot -i >"$WORK/wineboot.log" 2>&1 || { log "FAIL: wineboot"; exit 1; }
# wine-settings.reg (UTF-16LE with a BOM and CR LF, or regedit garbles the
# Japanese names): no window manager, so unmanaged windows (a managed one
# stalls each time a box closes); no crash dialog, which would block forever;
# the Japanese fonts under their Windows names; Marlett, which draws the
# caption buttons (Debian's Wine leaves the prefix's Fonts folder empty and
# never reads its own fonts from /usr/share/wine/fonts).
timeout -k 5 60 wine regedit /S "Z:${ROOT//\//\\}\\win32\\tests\\wine-settings.reg" || { log "FAIL: regedit"; exit 1; }
timeout -k 5 60 wineserver -w
# One wineserver for the whole run: each program then starts in a fraction of a second.
wineserver -p
timeout -k 5 60 wine cmd /c exit >/dev/null 2>&1
