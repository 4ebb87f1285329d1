#!/usr/bin/env bash
# Builds Release and runs the benchmark; the generated log is kept in the
# build directory so later runs skip generating it.
#   bench/run.sh [COUNT [RUNS]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DNEB_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target neb01-bench neb01-extract
exec "$build/bench/neb01-bench" "$build/cli/neb01-extract" "$build/bench-cache" "$@"
