#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed number of
# executions over seed corpora made by neb01-gen; prints the counts.
#
#   tools/hardening/fuzz.sh            1,000,000 executions per target
#   tools/hardening/fuzz.sh --smoke    20,000 per target (CI)
#   tools/hardening/fuzz.sh --runs N [TARGET...]
#
# Environment: NEB_FUZZ_BUILD (default build-fuzz), NEB_GEN (a neb01-gen to
# use; otherwise one is built). A crash, a sanitizer report, an input slower
# than 10 s or one needing more than 1 GiB fails the script; the input is kept
# under $NEB_FUZZ_BUILD/artifacts.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${NEB_FUZZ_BUILD:-$root/build-fuzz}
runs=1000000
targets=()
while (($#)); do
  case $1 in
    --smoke) runs=20000 ;;
    --runs) runs=$2; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
((${#targets[@]})) || targets=(fuzz_hamlog fuzz_env_items fuzz_mode_table fuzz_env_rewrite)

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2; exit 1; }

gen_flags=()
command -v ninja >/dev/null && gen_flags=(-G Ninja)
if [[ ! -f $build/CMakeCache.txt ]]; then
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" "${gen_flags[@]}" >/dev/null
fi
cmake --build "$build" -j2 >/dev/null

gen=${NEB_GEN:-}
if [[ -z $gen ]]; then
  for candidate in "$root"/build/tools/neb01-gen "$root"/build-faults/tools/neb01-gen; do
    [[ -x $candidate ]] && { gen=$candidate; break; }
  done
fi
if [[ -z $gen ]]; then
  cmake -S "$root" -B "$build/main" -DNEB_BUILD_TESTS=OFF "${gen_flags[@]}" >/dev/null
  cmake --build "$build/main" -j2 --target neb01-gen >/dev/null
  gen=$build/main/tools/neb01-gen
fi

# --- seed corpora ------------------------------------------------------------
corpus=$build/corpus
scratch=$build/seed-scratch
mkdir -p "$corpus" "$scratch" "$build/artifacts"

le32() {  # 4 bytes, little-endian
  local n=$1 i
  for i in 0 1 2 3; do printf "\\$(printf %03o $(((n >> (8 * i)) & 255)))"; done
}

# fuzz_hamlog: options byte, DBS length, DBS, DBR.
pack_db() {  # options dbs dbr out
  { printf "\\$(printf %03o "$1")"; le32 "$(stat -c %s "$2")"; cat "$2" "$3"; } >"$4"
}

seed_hamlog() {
  local dir=$corpus/fuzz_hamlog i=0 seed count extra opts
  mkdir -p "$dir"
  for seed in 1 2 3; do
    for count in 1 4 25; do
      for extra in "" "--adversarial" "--adversarial --header-count 16777215" \
                   "--header-count 0" "--adversarial --cut-companion 40"; do
        # shellcheck disable=SC2086
        "$gen" --seed "$seed" --count "$count" $extra "$scratch/S.DBS" >/dev/null
        opts=$(((seed * 7 + count + i) % 64))
        pack_db "$opts" "$scratch/S.DBS" "$scratch/S.DBR" "$dir/gen-$i"
        i=$((i + 1))
      done
    done
  done
}

seed_text() {
  "$gen" --suite "$scratch/suite" --seed 1 --count 3 >/dev/null
  local env=$corpus/fuzz_env_items mode=$corpus/fuzz_mode_table rw=$corpus/fuzz_env_rewrite
  local marker=$'###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###'
  mkdir -p "$env" "$mode" "$rw"
  cp "$scratch/suite/NEBWD.ENV" "$env/suite"
  printf '#01\r\nC:\\HAMLOG\\HAMLOG.DBS\r\n$JA,$JD,$JD1,$jd,$7K1,$\r\n' >"$env/two-line"
  printf '#01,"C:\\A,B\\X.DBS"\r#01,D:\\Y.DBS\r\n  $JH , "$JR"\n#01' >"$env/quoted"
  printf '$%02d,' $(seq 1 31) >"$env/many"
  cp "$scratch/suite/Mode.txt" "$mode/suite"
  printf 'ssb, lsb ,usb\r\nCW,A1A,\r\n ,X,Y\r\nFM\rAM,,\n' >"$mode/rules"
  local i=0 f
  for f in "$env"/*; do
    { printf "\\$(printf %03o $((i * 17 % 256)))\\$(printf %03o $i)"; cat "$f"; } >"$rw/env-$i"
    i=$((i + 1))
  done
  { printf '\000\001#01,C:\\A.DBS\r\n  %s  \r\n\r\n%sX\r\n%s' "$marker" "$marker" "$marker"; } >"$rw/marker"
  { printf '\001\003#01,C:\\A.DBS,X\r\n#01\r\nC:\\B.DBS\r#01,'; } >"$rw/hamlog"
}

[[ -d $corpus/fuzz_hamlog ]] || seed_hamlog
[[ -d $corpus/fuzz_env_items ]] || seed_text

# --- runs --------------------------------------------------------------------
status=0
printf '%-18s %12s %8s  %s\n' target executions seconds result
for t in "${targets[@]}"; do
  mkdir -p "$corpus/$t"
  log=$build/$t.log
  # Longer inputs only add records of the same kind, and cost time.
  max_len=16384
  [[ $t == fuzz_hamlog ]] && max_len=4096
  start=$(date +%s)
  if (cd "$build/artifacts" &&
      "$build/$t" -runs="$runs" -timeout=10 -rss_limit_mb=1024 -max_len=$max_len \
        -print_final_stats=1 "$corpus/$t" >"$log" 2>&1); then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
  fi
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '%-18s %12s %8s  %s\n' "$t" "${done_runs:-?}" "$(($(date +%s) - start))" "$result"
done
exit $status
