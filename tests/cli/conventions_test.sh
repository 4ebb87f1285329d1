#!/usr/bin/env bash
# --help, --version and unknown options of both programs: exit codes and
# streams; then cmake --install into a temporary prefix and the man page.
# Usage: conventions_test.sh BUILD_DIR
set -u
build="$1" tmp="$(mktemp -d)" fails=0
unset LC_ALL LC_MESSAGES; export LANG=C  # the English texts
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"  # project() in CMakeLists.txt
[ -n "$version" ] || { fail "no project version in $build/CMakeCache.txt"; exit 1; }
# A stream holds exactly WANT (_ for a blank, - for nothing), or begins with it when it ends in *.
holds() {
  local want text; want="$(printf %b "${2//_/ }")" text="$(cat "$1")"; [ "$want" = - ] && want=""
  [[ "$want" == *"*" ]] && text="${text:0:${#want}-1}*"
  [ "$text" = "$want" ]
}

# program  argument  exit  stdout  stderr
while read -r prog arg code out err; do
  "$build/$prog" "$arg" >"$tmp/out" 2>"$tmp/err"
  rc=$? name="${prog##*/} $arg"
  [ "$rc" = "$code" ] || fail "$name: exit $rc, not $code"
  holds "$tmp/out" "$out" || fail "$name: stdout $(head -c80 "$tmp/out")"
  holds "$tmp/err" "$err" || fail "$name: stderr $(head -c80 "$tmp/err")"
done <<CASES
cli/neb01-extract --help    0 usage:_neb01-extract_[-a|--area-suffix]* -
cli/neb01-extract -h        0 usage:_neb01-extract_[-a|--area-suffix]* -
cli/neb01-extract --version 0 neb01-extract_$version -
cli/neb01-extract --Help    2 - neb01-extract:_unknown_option_--Help\nusage:_neb01-extract*
tools/neb01-gen   --help    0 usage:_neb01-gen_--seed* -
tools/neb01-gen   --version 0 neb01-gen_$version -
CASES

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null || fail "cmake --install"
(cd "$tmp/prefix" && find . -type f | sort) >"$tmp/installed"
printf '%s\n' ./bin/neb01-extract ./bin/neb01-gen ./share/man/man1/neb01-extract.1 |
  diff - "$tmp/installed" || fail "installed files differ"
[ "$("$tmp/prefix/bin/neb01-extract" --version)" = "neb01-extract $version" ] || fail "installed program"
MANWIDTH=80 man --warnings -l "$tmp/prefix/share/man/man1/neb01-extract.1" 2>"$tmp/man" >/dev/null || fail "man"
[ ! -s "$tmp/man" ] || fail "man page warnings: $(cat "$tmp/man")"
grep -q "^\.TH .* \"neb01 $version\"" "$tmp/prefix/share/man/man1/neb01-extract.1" || fail "the man page names no version $version"
exit $((fails > 0))
