#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed number of
# executions over small seed corpora.
#
#   tools/hardening/fuzz.sh            1,000,000 executions per target
#   tools/hardening/fuzz.sh --smoke    20,000 per target (CI)
#   tools/hardening/fuzz.sh --runs N [TARGET...]
#
# NEB_FUZZ_BUILD names the build directory (default build-fuzz). A crash, a
# sanitizer report, an input slower than 10 s or one needing more than 1 GiB
# fails the script; the input is kept under $NEB_FUZZ_BUILD/artifacts.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${NEB_FUZZ_BUILD:-$root/build-fuzz}
runs=1000000
targets=()
while (($#)); do
  case $1 in
    --smoke) runs=20000 ;;
    --runs) runs=$2; shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
((${#targets[@]})) || targets=(fuzz_hamlog fuzz_suite_texts)
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2; exit 1; }
gen_flags=()
command -v ninja >/dev/null && gen_flags=(-G Ninja)
# -O1: libFuzzer's advice, fast enough and still easy to debug.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DNEB_FUZZ=ON -DNEB_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" "${gen_flags[@]}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" neb01-gen >/dev/null

corpus=$build/corpus
mkdir -p "$corpus"/{fuzz_hamlog,fuzz_suite_texts} "$build/artifacts" "$build/seed"
for seed in 1 2 3; do  # byte 0 = (record file length - 449) / 16, then both files
  for count in 8 16; do
    "$build/tools/neb01-gen" --seed "$seed" --count "$count" "$build/seed/S.DBS" >/dev/null
    { printf "\\$(printf %03o $((count * 58 / 16)))"; cat "$build/seed/S.DBS" "$build/seed/S.DBR"; } \
      >"$corpus/fuzz_hamlog/gen-$seed-$count"
  done
done
env=$'#01,"C:\\A,B\\X.DBS"\r#01\r\nD:\\Y.DBS\r\n  $JH , "$JR",$JD1\n###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###\r\n#01'
printf '%s' "$env" >"$corpus/fuzz_suite_texts/env"
printf 'ssb, lsb ,usb\r\nCW,A1A,\r\n ,X,Y\r\nFM\rAM,,\n' >"$corpus/fuzz_suite_texts/rules"

status=0
printf '%-18s %12s %8s  %s\n' target executions seconds result
for t in "${targets[@]}"; do
  log=$build/$t.log
  start=$(date +%s)
  if (cd "$build/artifacts" && "$build/fuzz/$t" -runs="$runs" -timeout=10 -rss_limit_mb=1024 -max_len=4096 \
        -print_final_stats=1 "$corpus/$t" >"$log" 2>&1); then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
  fi
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '%-18s %12s %8s  %s\n' "$t" "${done_runs:-?}" "$(($(date +%s) - start))" "$result"
done
rm -f /dev/shm/neb-fuzz-*
exit $status
