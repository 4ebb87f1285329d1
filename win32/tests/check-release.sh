#!/usr/bin/env bash
# Makes the Windows zip with CPack from the cross build and checks it: its
# content list, the guide's form, and both programs started under Wine from
# an unpacked copy. Needs DISPLAY and WINEPREFIX set up as run-wine-tests.sh
# leaves them. Usage: check-release.sh [BUILD_DIR]   (default build-win)
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:-$ROOT/build-win}" name=neb01-1.0.0-win64 fails=0
fail() { echo "[check-release] FAIL: $*"; fails=$((fails + 1)); }
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || { fail "WINEPREFIX and DISPLAY must be set"; exit 1; }
tmp="$(mktemp -d /tmp/neb-release.XXXXXX)" pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT

(cd "$BUILD" && cpack -G ZIP >/dev/null) || fail "cpack"
zip="$BUILD/package/$name.zip"
unzip -Z1 "$zip" | sort | diff - <(printf "$name/%s\n" main-window.png neb01-extract.exe neb01-guide-ja.txt neb01.exe) ||
  fail "the zip's content list"
unzip -q "$zip" -d "$tmp" || fail "unzip"
dir="$tmp/$name" guide="$tmp/$name/neb01-guide-ja.txt" wtmp="Z:${tmp//\//\\}"
[ "$(head -c3 "$guide" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the guide has no byte order mark"
! grep -qv $'\r$' "$guide" || fail "the guide has a line without CR LF"

[ "$(timeout -k 5 60 wine "$dir/neb01-extract.exe" --version | tr -d '\r')" = "neb01-extract 1.0.0" ] ||
  fail "neb01-extract.exe --version"
timeout -k 5 60 wine "$BUILD/tools/neb01-gen.exe" --suite "$wtmp\\suite" --count 5 >/dev/null || fail "neb01-gen.exe"
# The window program reads the environment file named after the argument's first character.
timeout -k 5 60 wine "$dir/neb01.exe" "x$wtmp\\suite\\NEBWD.ENV" & pid=$!
for _ in $(seq 100); do
  xwininfo -root -tree | grep -q '"HAMLOG からの抽出"' && break
  sleep 0.2
done
xwininfo -root -tree | grep -q '"HAMLOG からの抽出"' || fail "neb01.exe shows no main window"
[ "$fails" = 0 ] && echo "[check-release] $zip: $(stat -c %s "$zip") bytes, checked"
exit $((fails > 0))
