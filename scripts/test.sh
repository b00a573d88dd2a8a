#!/bin/sh
# test.sh -- install what is missing, build, and run the whole test suite twice:
# a normal optimised build (GCC) and a sanitizer build (Clang, ASan + UBSan); then check that both
# builds draw the whole demo identically.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

./scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")

./scripts/build.sh build-asan -DMW_SANITIZE=ON -DMW_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" -LE no-sanitize)

# Both builds must draw the same demo: a hash of every frame of a whole capture (each build on its
# own generated data), at 32 and at 8 bits per pixel, all four captures at once.
for words in 32 8; do
    build/morrowick $words --capture=null --data=build >build/demo_hash_$words.txt 2>/dev/null &
    ASAN_OPTIONS=detect_leaks=0 build-asan/morrowick $words --capture=null --data=build-asan \
        >build-asan/demo_hash_$words.txt 2>/dev/null &
done
wait
for words in 32 8; do
    gcc_hash=$(cat build/demo_hash_$words.txt)
    clang_hash=$(cat build-asan/demo_hash_$words.txt)
    if [ -z "$gcc_hash" ] || [ "$gcc_hash" != "$clang_hash" ]; then
        echo "test.sh: the builds draw different frames at $words bits: [$gcc_hash] and [$clang_hash]" >&2
        exit 1
    fi
    echo "test.sh: whole demo at $words bits, both builds: $gcc_hash"
done
echo "test.sh: all tests passed"
