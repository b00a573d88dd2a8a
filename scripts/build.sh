#!/bin/sh
# build.sh -- configure and build one build directory: build.sh [DIR] [extra cmake args...]
set -e
cd "$(dirname "$0")/.."
dir=${1:-build}
[ $# -gt 0 ] && shift
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
