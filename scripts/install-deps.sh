#!/bin/sh
# install-deps.sh -- install, with apt-get, the Debian packages the project needs that are missing.
# Idempotent: does nothing (and needs no network) when everything is present.
# --windows adds what the Windows cross-build and its Wine test need (scripts/build-windows.sh).
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
dpkg-dev
file
lintian
desktop-file-utils
appstream
groff
man-db
gzip
python3
"

# Cross compilers, Wine to run the result, dpkg-dev for apt-get source; the source packages'
# own build tools (make and CMake) are in the list above.
WINDOWS_PACKAGES="
g++-mingw-w64-x86-64-posix
gcc-mingw-w64-x86-64-posix
binutils-mingw-w64-x86-64
wine64
wine
dpkg-dev
zip
"
[ "$1" = "--windows" ] && PACKAGES="$PACKAGES $WINDOWS_PACKAGES"

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
