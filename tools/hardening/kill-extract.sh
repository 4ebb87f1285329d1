#!/usr/bin/env bash
# Kills neb01-extract with SIGKILL at random moments of a run over a large
# database and checks after every kill that the work file is the complete old
# one or the complete new one: never partial, never missing.
#
#   tools/hardening/kill-extract.sh [-n KILLS] [-c QSOS] [-b BUILD_DIR] [-s SEED]
#
# Defaults: 200 kills over 200,000 QSOs, programs from ./build.
set -euo pipefail

kills=200
count=200000
build=build
seed=$RANDOM
while getopts "n:c:b:s:h" opt; do
  case $opt in
    n) kills=$OPTARG ;;
    c) count=$OPTARG ;;
    b) build=$OPTARG ;;
    s) seed=$OPTARG ;;
    *) sed -n '2,8p' "$0"; exit 2 ;;
  esac
done
extract=$build/cli/neb01-extract
gen=$build/tools/neb01-gen
for p in "$extract" "$gen"; do
  [[ -x $p ]] || { echo "kill-extract.sh: $p not built" >&2; exit 2; }
done
extract=$(realpath "$extract")
gen=$(realpath "$gen")
RANDOM=$seed

dir=$(mktemp -d "${TMPDIR:-/tmp}/neb-kill-extract.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/old" "$dir/new" "$dir/app/data"
app=$dir/app
work=$app/data/Work.Txt

"$gen" --seed 1 --count "$((count / 2))" "$dir/old/LOG.DBS" >/dev/null
"$gen" --seed 2 --count "$count" --adversarial "$dir/new/LOG.DBS" >/dev/null

"$extract" -q --app-dir "$app" --hamlog "$dir/old/LOG.DBS" >/dev/null 2>&1
cp "$work" "$dir/old.txt"
start=$(date +%s%N)
"$extract" -q --app-dir "$app" --hamlog "$dir/new/LOG.DBS" >/dev/null 2>&1
run_ms=$((($(date +%s%N) - start) / 1000000))
cp "$work" "$dir/new.txt"
old_sum=$(cksum <"$dir/old.txt")
new_sum=$(cksum <"$dir/new.txt")
[[ $old_sum != "$new_sum" ]] || { echo "old and new work files are equal" >&2; exit 1; }
echo "kill-extract: $count QSOs, work file $(stat -c %s "$dir/new.txt") bytes, a run takes ${run_ms} ms, seed $seed"

put_old() {  # the old work file back, in one step
  cp "$dir/old.txt" "$work.restore"
  mv -f "$work.restore" "$work"
}

saw_old=0 saw_new=0 leftovers=0 failures=0
for ((i = 1; i <= kills; i++)); do
  put_old
  # Half the kills anywhere in the run, half in its last tenth, where the work
  # file is replaced.
  if ((i % 2)); then
    delay=$((RANDOM * (run_ms + run_ms / 5) / 32768))
  else
    delay=$((run_ms * 9 / 10 + RANDOM * (run_ms / 5 + 1) / 32768))
  fi
  "$extract" -q --app-dir "$app" --hamlog "$dir/new/LOG.DBS" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true

  if [[ ! -e $work ]]; then
    echo "kill $i after ${delay} ms: work file missing" >&2
    failures=$((failures + 1))
    continue
  fi
  sum=$(cksum <"$work")
  if [[ $sum == "$old_sum" ]]; then
    saw_old=$((saw_old + 1))
  elif [[ $sum == "$new_sum" ]]; then
    saw_new=$((saw_new + 1))
  else
    echo "kill $i after ${delay} ms: work file is neither old nor new ($(stat -c %s "$work") bytes)" >&2
    cp "$work" "$dir/../neb-kill-extract-bad-$i.txt" 2>/dev/null || true
    failures=$((failures + 1))
  fi
  [[ -e $app/nebwdw.tmp ]] && leftovers=$((leftovers + 1))
done

echo "kill-extract: $kills kills: old work file $saw_old, new work file $saw_new, broken $failures" \
     "(temporary file left by the kill: $leftovers)"
((failures == 0))
