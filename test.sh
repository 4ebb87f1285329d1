#!/usr/bin/env bash
# Installs what the build needs and runs every test stage:
#   1. native Debug build + ctest
#   2. AddressSanitizer/UndefinedBehaviorSanitizer build + ctest
#   3. the fuzz targets, a short run of each (tools/hardening/fuzz.sh --smoke)
#   4. the Windows build under Wine (win32/tests/run-wine-tests.sh)
# Each stage runs even when an earlier one failed; the exit status is non-zero
# when any stage failed. New stages go at the end, in the same form.
# NEB_TEST_SKIP_WINE=1 leaves out stage 4 (for a quick local run).
set -uo pipefail
cd "$(dirname "$0")"
ROOT="$(pwd)"
failed=()

stages=0
stage() { printf '\n========== %s ==========\n' "$*"; }

# ---------------------------------------------------------------- packages
stage "packages"
bash tools/deps.sh build test docs fuzz || exit 1

build_and_test() {  # name build-dir cmake-args...
  local name="$1" dir="$2"
  shift 2
  stage "$name"
  stages=$((stages + 1))
  if cmake -S "$ROOT" -B "$dir" "$@" &&
     cmake --build "$dir" -j2 &&
     ctest --test-dir "$dir" -j2 --output-on-failure --timeout 900; then
    echo "$name: passed"
  else
    echo "$name: FAILED"
    failed+=("$name")
  fi
}

# ---------------------------------------------------------------- native Debug
build_and_test "native Debug build and tests" build-test-debug -DCMAKE_BUILD_TYPE=Debug

# ---------------------------------------------------------------- sanitizers
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test "sanitizer build and tests" build-test-asan -DCMAKE_BUILD_TYPE=Debug -DNEB_SANITIZE=ON

# ---------------------------------------------------------------- fuzzing, short
stage "fuzz targets, short run"
stages=$((stages + 1))
if bash tools/hardening/fuzz.sh --smoke; then
  echo "fuzz: passed"
else
  echo "fuzz: FAILED"
  failed+=("fuzz targets, short run")
fi

# ---------------------------------------------------------------- Windows under Wine
if [ "${NEB_TEST_SKIP_WINE:-0}" != 1 ]; then
  stage "Windows build under Wine"
  stages=$((stages + 1))
  if bash win32/tests/run-wine-tests.sh; then
    echo "Wine: passed"
  else
    echo "Wine: FAILED"
    failed+=("Windows build under Wine")
  fi
fi

# ---------------------------------------------------------------- summary
stage "summary"
if [ "${#failed[@]}" -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
fi
echo "stages: $((stages - ${#failed[@]})) passed, ${#failed[@]} failed"
[ "${#failed[@]}" -eq 0 ]
