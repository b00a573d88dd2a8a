#!/bin/sh
# run.sh -- install what is missing, build, and run the demo (arguments go to the demo).
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build
exec ./build/morrowick "$@"
