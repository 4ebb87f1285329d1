#!/usr/bin/env bash
# Makes the Windows zip (the package target) and checks it: its content list,
# the texts' form, the programs' icon and version resources, the checksum
# file, a second clean build giving the same bytes, the mode table sample,
# and both programs started under Wine from an unpacked copy. Needs DISPLAY
# and WINEPREFIX set up as run-wine-tests.sh leaves them.
# Usage: check-release.sh [BUILD_DIR]   (default build-win)
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:-$ROOT/build-win}" fails=0
fail() { echo "[check-release] FAIL: $*"; fails=$((fails + 1)); }
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || { fail "WINEPREFIX and DISPLAY must be set"; exit 1; }
tmp="$(mktemp -d /tmp/neb-release.XXXXXX)" pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT

# The HTML guide's pictures: this run's screenshots when it made both, else
# docs/. Copied out of screenshots/, which the next run empties before its
# build would read the cached folder.
images="$ROOT/docs"
if [ -f "$BUILD/screenshots/main-window.png" ] && [ -f "$BUILD/screenshots/main-window-running.png" ]; then
  images="$BUILD/guide-images"
  mkdir -p "$images" && cp "$BUILD/screenshots/main-window.png" "$BUILD/screenshots/main-window-running.png" "$images/"
fi
config=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release -DNEB_GUIDE_IMAGES="$images")
cmake -S "$ROOT" -B "$BUILD" "${config[@]}" >"$tmp/configure.log" 2>&1 || fail "configure $BUILD"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"  # project() in CMakeLists.txt
name=neb01-$version-win64
cmake --build "$BUILD" --target package -j2 >"$tmp/package.log" 2>&1 || { cat "$tmp/package.log"; fail "package"; }
zip="$BUILD/package/$name.zip"
(cd "$BUILD/package" && sha256sum --quiet -c "$name.zip.sha256") || fail "$name.zip.sha256 does not match the zip"

# Reproducible: a second clean build elsewhere, of only what the zip needs.
build2="$tmp/build2"
if cmake -S "$ROOT" -B "$build2" "${config[@]}" >"$tmp/configure2.log" 2>&1 &&
   cmake --build "$build2" --target package -j2 >"$tmp/package2.log" 2>&1; then
  if ! cmp -s "$zip" "$build2/package/$name.zip"; then
    fail "two clean builds give different zips"
    for f in win32/neb01.exe cli/neb01-extract.exe; do
      cmp "$BUILD/$f" "$build2/$f" | sed 's/^/[check-release]   /'
    done
  fi
else
  fail "the second build"
fi

# Owner ids and access times would differ between machines even when two builds here agree.
! zipinfo -v "$zip" | grep -q 'length of extra field: *[1-9]' || fail "the zip's entries have extra fields"
# In the order the package target sorts them (byte order).
unzip -Z1 "$zip" | diff - <(printf "$name/%s\n" CHANGES-ja.txt LICENSE.txt Mode-sample.txt \
  THIRD-PARTY-NOTICES.txt neb01-extract.exe neb01-guide-ja.html neb01-guide-ja.txt neb01.exe) ||
  fail "the zip's content list"
! unzip -Z1 "$zip" | grep -qi '/mode\.txt$' || fail "the zip holds a Mode.txt, which would replace the user's own"
unzip -q "$zip" -d "$tmp" || fail "unzip"
dir="$tmp/$name" wtmp="Z:${tmp//\//\\}"

# Notepad's forms: CR LF everywhere, a byte order mark on the Japanese UTF-8 texts.
for f in neb01-guide-ja.txt CHANGES-ja.txt THIRD-PARTY-NOTICES.txt LICENSE.txt Mode-sample.txt; do
  ! LC_ALL=C grep -aqv $'\r$' "$dir/$f" || fail "$f has a line without CR LF"
done
for f in neb01-guide-ja.txt CHANGES-ja.txt THIRD-PARTY-NOTICES.txt; do
  [ "$(head -c3 "$dir/$f" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$f has no byte order mark"
done
tr -d '\r' <"$dir/LICENSE.txt" | cmp -s - "$ROOT/LICENSE.txt" || fail "LICENSE.txt differs from the repository's"
grep -q '^MIT License' "$ROOT/LICENSE.txt" && grep -q '^Copyright (c) 2026 the NEB01 authors$' "$ROOT/LICENSE.txt" ||
  fail "LICENSE.txt is not the MIT licence of the NEB01 authors"
for t in 'the mingw-w64 project' 'Lucent Technologies' 'David M. Gay' 'Sun Microsystems' 'Keith Marshall' \
         'The NetBSD Foundation' 'Regents of the University of California' 'winpthreads' 'Lockless Inc.' \
         'GCC RUNTIME LIBRARY EXCEPTION'; do
  grep -qF "$t" "$dir/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt lacks the notice of $t"
done
# The page's own pictures are checked where it is made (tests/guide); none ships beside it.
grep -qF "■ $version" "$dir/CHANGES-ja.txt" || fail "CHANGES-ja.txt names no version $version"
while IFS= read -r t; do  # the guide's sections the change note names as 「…」の章
  grep -qxF -e "【$t】"$'\r' -e "◆ $t"$'\r' "$dir/neb01-guide-ja.txt" || fail "CHANGES-ja.txt names 「$t」, no section of the guide"
done < <(grep -o '「[^」]*」の章' "$dir/CHANGES-ja.txt" | sed 's/^「//; s/」の章$//')

# The mode table sample: Shift_JIS; only its three table lines hold an ASCII
# comma, since every other line with one would add an entry.
iconv -f CP932 -t UTF-8 "$dir/Mode-sample.txt" >"$tmp/mode-sample.utf8" 2>/dev/null &&
  grep -q 'Mode\.txt' "$tmp/mode-sample.utf8" && grep -q '見本' "$tmp/mode-sample.utf8" ||
  fail "Mode-sample.txt is not the Shift_JIS sample"
LC_ALL=C grep -a , "$dir/Mode-sample.txt" | tr -d '\r' | diff - <(printf '%s\n' SSB,LSB,USB RTTY,RTT DATA,FT8,FT4) ||
  fail "Mode-sample.txt: the lines with an ASCII comma"

# Both programs: the icon group 1 in four sizes, and the Japanese version resource.
version_strings() {  # exe: "Key=Value" per string of the version resource
  wrestool -x --raw -t 16 "$1" | iconv -c -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -v '^$' |
    awk -v keys='CompanyName FileDescription FileVersion LegalCopyright ProductName ProductVersion Translation' '
      BEGIN { n = split(keys, key, " ") }
      k != "" { print k "=" $0; k = ""; next }
      { for (i = 1; i <= n; i++) if (substr($0, length($0) - length(key[i]) + 1) == key[i]) k = key[i] }'
}
for exe in neb01.exe neb01-extract.exe; do
  case $exe in
    neb01.exe) description='NEB01 HAMLOG からの抽出' ;;
    *) description='NEB01 HAMLOG からの抽出（コマンドライン版）' ;;
  esac
  sizes="$(wrestool -x -t 14 -n 1 "$dir/$exe" 2>/dev/null >"$tmp/icon.ico" && icotool -l "$tmp/icon.ico" |
    sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\).*/\1x\2/p' | sort -n | tr '\n' ' ')"
  [ "$sizes" = "16x16 32x32 48x48 256x256 " ] || fail "$exe: icon group 1 has the sizes '$sizes'"
  wrestool -x --raw -t 16 "$dir/$exe" | iconv -c -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -q '041104B0$' ||
    fail "$exe: no version block 041104B0"
  version_strings "$dir/$exe" | diff - <(printf '%s\n' "CompanyName=NEB01 の作者" "FileDescription=$description" \
    "FileVersion=$version" "LegalCopyright=Copyright (c) 2026 the NEB01 authors" "ProductName=NEB01 HAMLOG データ抽出" \
    "ProductVersion=$version" "Translation="$'\xd0\x91\xd2\xb0') ||  # 0x411, 1200 read as UTF-16
    fail "$exe: the Japanese version resource"
  # The manifest: asInvoker, and Windows 10/11, 8.1, 8 and 7 as supported.
  wrestool -x --raw -t 24 -n 1 "$dir/$exe" | grep -o 'level="[^"]*\|supportedOS Id="{[^}]*' | sed 's/.*["{]//' |
    diff - <(printf '%s\n' asInvoker 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
      4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 35138b9a-5d96-4fbd-8e2d-a2440225f93a) || fail "$exe: the manifest"
done

[ "$(timeout -k 5 60 wine "$dir/neb01-extract.exe" --version | tr -d '\r')" = "neb01-extract $version" ] ||
  fail "neb01-extract.exe --version"
timeout -k 5 60 wine "$BUILD/tools/neb01-gen.exe" --suite "$wtmp\\suite" --count 200 >/dev/null || fail "neb01-gen.exe"

# The window program reads the environment file named after the argument's first character.
timeout -k 5 60 wine "$dir/neb01.exe" "x$wtmp\\suite\\NEBWD.ENV" & pid=$!
for _ in $(seq 100); do
  xwininfo -root -tree | grep -q '"HAMLOG からの抽出"' && break
  sleep 0.2
done
xwininfo -root -tree | grep -q '"HAMLOG からの抽出"' || fail "neb01.exe shows no main window"
[ "$fails" = 0 ] && echo "[check-release] $zip: $(stat -c %s "$zip") bytes, $(cut -c1-64 "$zip.sha256"), checked"
exit $((fails > 0))
