#!/usr/bin/env bash
# Kills the window's environment-file rewrite (MENU_X, through neb-env-victim)
# with SIGKILL at random moments and checks after every kill that the
# environment file is complete: the old one or the new one, never shorter,
# never missing.
#
#   tools/hardening/kill-env.sh [-n KILLS] [-l LINES] [-b BUILD_DIR] [-s SEED]
#
# Defaults: 200 kills, an environment file of 300,000 lines, programs from ./build.
set -euo pipefail

kills=200
lines=300000
build=build
seed=$RANDOM
while getopts "n:l:b:s:h" opt; do
  case $opt in
    n) kills=$OPTARG ;;
    l) lines=$OPTARG ;;
    b) build=$OPTARG ;;
    s) seed=$OPTARG ;;
    *) sed -n '2,9p' "$0"; exit 2 ;;
  esac
done
victim=$build/tests/faults/neb-env-victim
[[ -x $victim ]] || { echo "kill-env.sh: $victim not built" >&2; exit 2; }
victim=$(realpath "$victim")
RANDOM=$seed

dir=$(mktemp -d "${TMPDIR:-/tmp}/neb-kill-env.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/app"
: >"$dir/LOG.DBS"  # start-up then finds the log and asks nothing
env=$dir/NEBWD.ENV
marker=$'###\x8f\x89\x8a\xfa\x90\xdd\x92\xe8\x8d\xcf\x82\xdd###'

# The suite's lines, a marker line every 997 lines, some with blanks around it.
LC_ALL=C awk -v n="$lines" -v m="$marker" -v dbs="$dir/LOG.DBS" 'BEGIN {
  printf "#01,%s\r\n", dbs
  for (i = 1; i < n; i++) {
    if (i % 997 == 0) printf "%s%s%s\r\n", (i % 2 ? "  " : ""), m, (i % 3 ? "" : " ")
    else if (i % 50 == 0) printf "$JA%d\r\n", i % 10
    else printf "#%02d,SETTING %d,\"a, quoted item\",%d\r\n", 2 + i % 90, i, i * 7
  }
}' >"$dir/old.env"
# What the rewrite must make of it: every marker line gone, nothing else changed.
LC_ALL=C grep -v -x -e " *$marker *"$'\r' "$dir/old.env" >"$dir/expected.env"

cp "$dir/old.env" "$env"
start=$(date +%s%N)
"$victim" "$dir/app" "$env" "$dir/old.env" --once
run_ms=$((($(date +%s%N) - start) / 1000000))
cmp -s "$env" "$dir/expected.env" || { echo "kill-env: MENU_X result differs from the expected file" >&2; exit 1; }
old_sum=$(cksum <"$dir/old.env")
new_sum=$(cksum <"$dir/expected.env")
echo "kill-env: $lines lines, $(stat -c %s "$dir/old.env") bytes, one MENU_X takes ${run_ms} ms, seed $seed"

saw_old=0 saw_new=0 failures=0
for ((i = 1; i <= kills; i++)); do
  # The victim alternates restoring the old file and rewriting it; a start
  # includes reading the file once.
  delay=$((run_ms + RANDOM * (run_ms * 3 + 1) / 32768))
  "$victim" "$dir/app" "$env" "$dir/old.env" 2>>"$dir/victim.err" &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null && { echo "kill $i: the victim ended by itself" >&2; failures=$((failures + 1)); }

  if [[ ! -e $env ]]; then
    echo "kill $i after ${delay} ms: environment file missing" >&2
    failures=$((failures + 1))
    cp "$dir/old.env" "$env"
    continue
  fi
  sum=$(cksum <"$env")
  if [[ $sum == "$old_sum" ]]; then
    saw_old=$((saw_old + 1))
  elif [[ $sum == "$new_sum" ]]; then
    saw_new=$((saw_new + 1))
  else
    echo "kill $i after ${delay} ms: environment file is neither old nor new ($(stat -c %s "$env") bytes)" >&2
    failures=$((failures + 1))
    cp "$dir/old.env" "$env"
  fi
done
[[ -s $dir/victim.err ]] && { echo "kill-env: the program reported:" >&2; head -5 "$dir/victim.err" >&2; }

echo "kill-env: $kills kills: old file $saw_old, new file $saw_new, broken $failures"
((failures == 0))
