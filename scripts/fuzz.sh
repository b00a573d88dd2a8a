#!/bin/sh
# fuzz.sh -- build the libFuzzer targets with clang and fuzz one: fuzz.sh NAME [SECONDS] [libFuzzer args]
# The search keeps its growing corpus in build-fuzz/corpus/NAME (seeded from tests/fuzz/corpus/NAME).
# The first crash, leak or undefined-behaviour report stops it; the input that caused it is saved
# in fuzz-findings/NAME/. Add reproducers to tests/fuzz/corpus/NAME/ so ctest replays them.
set -e
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-60}
[ -n "$name" ] || { echo "usage: scripts/fuzz.sh NAME [SECONDS] [libFuzzer args]" >&2; exit 2; }
[ $# -ge 2 ] && shift 2 || shift $#
cmake -S . -B build-fuzz -G Ninja -DMW_FUZZ=ON -DMW_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
# The target, and the generated data that the set-up target reads.
cmake --build build-fuzz --target "fuzz_$name" content
mkdir -p "build-fuzz/corpus/$name" "fuzz-findings/$name"
# halt_on_error: an undefined-behaviour report ends the run like a crash, so its input is saved.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# A failed set-up returns without releasing what it made (by design): no leak checks there.
if [ "$name" = setup ]; then
    export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
    set -- -detect_leaks=0 -rss_limit_mb=3072 "$@"
fi
exec ./build-fuzz/tests/fuzz_"$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="fuzz-findings/$name/" "$@" "build-fuzz/corpus/$name" "tests/fuzz/corpus/$name"
