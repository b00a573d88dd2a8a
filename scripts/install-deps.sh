#!/bin/sh
# install-deps.sh -- install, with apt-get, the Debian packages the project needs that are missing.
# Idempotent: does nothing (and needs no network) when everything is present.
set -e

PACKAGES="
g++
clang
libclang-rt-14-dev
cmake
ninja-build
pkg-config
libgtest-dev
libgmock-dev
libbenchmark-dev
libsdl2-dev
libopenmpt-dev
libpng-dev
libfreetype-dev
libebur128-dev
libfftw3-dev
fonts-dejavu-core
ffmpeg
xvfb
xauth
openbox
x11-apps
xdotool
"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "install-deps: installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
