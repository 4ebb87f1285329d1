#!/usr/bin/env bash
# Builds Release, makes a demo suite directory under ./demo (environment file,
# Mode.txt and a HAMLOG log of a few thousand generated QSOs), extracts it
# with neb01-extract and shows the head of the work file in UTF-8.
#   ./run-demo.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")"
count="${1:-3000}"
build=build-release

bash tools/deps.sh build

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DNEB_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target neb01-gen neb01-extract

rm -rf demo
"$build/tools/neb01-gen" --suite demo --seed 1 --count "$count"
echo
echo "== environment file demo/NEBWD.ENV (Shift_JIS, shown in UTF-8)"
iconv -f CP932 -t UTF-8 demo/NEBWD.ENV | tr -d '\r'
echo "== demo/Mode.txt"
tr -d '\r' < demo/Mode.txt
echo
echo "== neb01-extract -a -m --app-dir demo demo/NEBWD.ENV"
"$build/cli/neb01-extract" -a -m --app-dir demo demo/NEBWD.ENV
echo
echo "== head of demo/data/Work.Txt (Shift_JIS, shown in UTF-8)"
head -n 10 demo/data/Work.Txt | iconv -c -f CP932 -t UTF-8 | tr -d '\r'
