#!/bin/sh
# package.sh -- build the release artifacts: package.sh [DIR] makes, in DIR (default build-release/),
# morrowick_VERSION_ARCH.deb and morrowick-VERSION-Linux.tar.gz, then checks the .deb with lintian.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
dir=${1:-build-release}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_BENCH=OFF >/dev/null
cmake --build "$dir" --target morrowick content song dist_files
(cd "$dir" && cpack --config CPackConfig.cmake >/dev/null)
deb=$(ls "$dir"/morrowick_*.deb)
lintian --tag-display-limit 0 "$deb" || true
if lintian "$deb" | grep -q '^E:'; then
    echo "package.sh: lintian reports errors" >&2
    exit 1
fi
ls -l "$dir"/morrowick_*.deb "$dir"/morrowick-*.tar.gz
