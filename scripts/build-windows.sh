#!/bin/sh
# build-windows.sh -- cross-build the demo for 64-bit Windows (mingw-w64) and pack
# build-win/morrowick-win64.zip: morrowick.exe, data/, xm/ and README.txt.
#
# SDL2, libopenmpt, libpng and zlib are built as static libraries from Debian's source packages,
# fetched with apt-get source through a private apt configuration inside build-win/deps/apt (the
# system's apt configuration is only read, to find the mirror and suites). The built libraries stay
# in build-win/deps/ and are reused by later runs; delete that folder to rebuild them.
# The content and the song come from the native tools (build/), so they are the same files.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-win
deps=$out/deps
prefix=$deps/prefix
jobs=2
host=x86_64-w64-mingw32
run_nice="nice -n 10"

./scripts/install-deps.sh --windows

# --- Debian source packages through a private apt configuration ---------------------------------
apt_dir=$deps/apt
apt_get() {
    apt-get -q -o Dir::Etc::SourceList="$apt_dir/sources.list" \
        -o Dir::Etc::SourceParts="$apt_dir/sources.list.d" \
        -o Dir::Etc::Preferences="$apt_dir/preferences" \
        -o Dir::Etc::PreferencesParts="$apt_dir/preferences.d" \
        -o Dir::State::Lists="$apt_dir/lists" \
        -o Dir::State::status="$apt_dir/status" \
        -o Dir::Cache="$apt_dir/cache" \
        -o APT::Sandbox::User="$(id -un)" "$@"
}

# The system's Debian archive entries (one-line and deb822 forms) as deb-src entries of the same
# mirror and suites. The security archive is left out: its pool is not always reachable, and the
# suite's own sources are what the libraries need.
write_source_entries() {
    rm -rf "$apt_dir"
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/preferences.d" "$apt_dir/lists/partial" \
        "$apt_dir/cache/archives/partial"
    : > "$apt_dir/sources.list"
    : > "$apt_dir/status"
    : > "$apt_dir/preferences"
    {
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$f" ] || continue
            sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*\/debian\/\?[[:space:]].*\)$/deb-src \1/p' "$f"
        done
    } > "$apt_dir/sources.list.d/debian-src.list"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb([ \n]|$)/ && /(^|\n)URIs:[^\n]*\/debian\/?(\n|$)/ {
                 out = ""
                 n = split($0, lines, "\n")
                 for (i = 1; i <= n; i++) {
                     if (lines[i] ~ /^#/) continue
                     if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
                     out = out lines[i] "\n"
                 }
                 printf "%s\n", out
             }' "$f"
    done > "$apt_dir/sources.list.d/debian-src.sources"
}

fetch_sources() {
    [ -f "$deps/src/.fetched" ] && return 0
    echo "build-windows: fetching Debian source packages (private apt configuration in $apt_dir)"
    write_source_entries
    apt_get update -qq
    rm -rf "$deps/src"
    mkdir -p "$deps/src"
    (cd "$deps/src" && apt_get source -qq zlib libpng1.6 libsdl2 libopenmpt >/dev/null)
    touch "$deps/src/.fetched"
}

# --- Static libraries into build-win/deps/prefix ----------------------------------------------
toolchain=$root/cmake/mingw-w64-x86_64.cmake
export MW_WIN_DEPS="$prefix"
src_dir() { for d in "$deps/src/$1"-*/; do [ -d "$d" ] && echo "${d%/}" && return 0; done; return 1; }

cmake_configure() { # cmake_configure NAME SOURCE_DIR [cmake args...]
    name=$1 source=$2
    shift 2
    rm -rf "$deps/build/$name"
    $run_nice cmake -S "$source" -B "$deps/build/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
}

cmake_dep() { # cmake_dep NAME SOURCE_DIR [cmake args...]: configure, build, install
    cmake_configure "$@"
    $run_nice cmake --build "$deps/build/$1" -j "$jobs"
    cmake --install "$deps/build/$1"
}

build_zlib() {
    source=$(src_dir zlib)
    # The static library only (the DLL's resource script is not in Debian's source).
    cmake_configure zlib "$source"
    $run_nice cmake --build "$deps/build/zlib" -j "$jobs" --target zlibstatic
    mkdir -p "$prefix/lib/pkgconfig" "$prefix/include"
    cp "$deps/build/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
    cp "$deps/build/zlib/zlib.pc" "$prefix/lib/pkgconfig/"
    cp "$source/zlib.h" "$deps/build/zlib/zconf.h" "$prefix/include/"
}

build_libpng() {
    source=$(src_dir libpng1.6)
    cmake_dep libpng "$source" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
}

build_sdl2() {
    source=$(src_dir libsdl2)
    # Video, render, events, audio, timers, threads and the base path are all the demo uses.
    cmake_dep sdl2 "$source" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
        -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
        -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF
}

build_libopenmpt() {
    source=$(src_dir libopenmpt)
    # The library alone, without the optional decoders: the demo plays one XM module. No debug
    # information: it would triple the build time and the archive's size.
    rm -rf "$deps/build/libopenmpt"
    mkdir -p "$deps/build/libopenmpt"
    (cd "$deps/build/libopenmpt" \
        && $run_nice "$source/configure" --host=$host --prefix="$prefix" --disable-shared --enable-static \
            --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
            --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
            --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sdl2 \
            --without-sndfile --without-flac \
            CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS=-O2 CXXFLAGS=-O2 >/dev/null \
        && $run_nice make -j "$jobs" >/dev/null && make install >/dev/null)
}

build_dep() { # build_dep NAME: once; a stamp file marks a finished build
    [ -f "$deps/$1.done" ] && return 0
    echo "build-windows: building $1 for Windows (once; kept in $deps)"
    start=$(date +%s)
    mkdir -p "$deps/build"
    # Run in the background and wait: inside an if, set -e would not stop the build at a failure.
    "build_$1" > "$deps/build/$1.log" 2>&1 &
    if ! wait $!; then
        tail -n 30 "$deps/build/$1.log"
        echo "build-windows: building $1 failed (whole log: $deps/build/$1.log)" >&2
        exit 1
    fi
    touch "$deps/$1.done"
    echo "build-windows: $1 took $(($(date +%s) - start)) s"
}

fetch_sources
for dep in zlib libpng sdl2 libopenmpt; do
    build_dep $dep
done

# --- The program: the same sources and flags as the Linux build -----------------------------------
echo "build-windows: building morrowick.exe"
cmake -S . -B "$out/program" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DMW_PROGRAM_ONLY=ON >/dev/null
$run_nice cmake --build "$out/program" -j "$jobs"

# --- Content and song from the native tools --------------------------------------------------------
echo "build-windows: generating the content and the song with the native tools (build/)"
cmake -S . -B build -G Ninja >/dev/null
$run_nice cmake --build build -j "$jobs" --target content song

# --- The package ----------------------------------------------------------------------------------
pkg=$out/morrowick-win64
rm -rf "$pkg" "$out/morrowick-win64.zip"
mkdir -p "$pkg"
$host-strip -o "$pkg/morrowick.exe" "$out/program/morrowick.exe"
cp -r build/data build/xm "$pkg/"
sed 's/$/\r/' scripts/windows-readme.txt > "$pkg/README.txt"

# Every DLL the program imports must be part of Windows or shipped beside it.
system_dlls=" kernel32.dll user32.dll gdi32.dll winmm.dll imm32.dll ole32.dll oleaut32.dll shell32.dll "
system_dlls="$system_dlls setupapi.dll version.dll advapi32.dll msvcrt.dll rpcrt4.dll cfgmgr32.dll "
for dll in $($host-objdump -p "$pkg/morrowick.exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    case "$system_dlls" in
        *" $lower "*) ;;
        *) [ -f "$pkg/$dll" ] || { echo "build-windows: morrowick.exe needs $dll, which is not in the package" >&2; exit 1; } ;;
    esac
done
(cd "$out" && zip -q -r -X morrowick-win64.zip morrowick-win64)
echo "build-windows: $out/morrowick-win64.zip ($(wc -c < "$out/morrowick-win64.zip") bytes;" \
    "morrowick.exe $(wc -c < "$pkg/morrowick.exe") bytes)"
