#!/bin/sh
# fuzz.sh -- build the libFuzzer targets with clang and fuzz one: fuzz.sh NAME [SECONDS]
# New interesting inputs land in tests/fuzz/corpus/NAME/.
set -e
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-60}
[ -n "$name" ] || { echo "usage: scripts/fuzz.sh NAME [SECONDS]" >&2; exit 2; }
./scripts/build.sh build-fuzz -DMW_FUZZ=ON -DMW_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
mkdir -p "tests/fuzz/corpus/$name"
./build-fuzz/tests/fuzz_"$name" -max_total_time="$seconds" "tests/fuzz/corpus/$name"
