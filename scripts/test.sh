#!/bin/sh
# test.sh -- install what is missing, build, and run the whole test suite twice:
# a normal optimised build (GCC) and a sanitizer build (Clang, ASan + UBSan).
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
echo "test.sh: all tests passed"
