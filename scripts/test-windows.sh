#!/bin/sh
# test-windows.sh -- builds the Windows package (scripts/build-windows.sh) and proves it under Wine:
#   1. captures of four starts (the opening, the road drive at 16 bits, the globe, the swarm at
#      8 bits) give frames identical, pixel for pixel, to the Linux build's;
#   2. the whole demo's frame hash at 32 and 8 bits equals the Linux build's;
#   3. a live run in a window under Xvfb exits 0, with a screenshot (build-win/test/live.png).
# CI runs it after the test command. Frames are compared by the MD5 of their decoded pixels.
set -e
cd "$(dirname "$0")/.."
./scripts/build-windows.sh
cmake --build build --target morrowick >/dev/null

out=build-win/test
exe=build-win/morrowick-win64/morrowick.exe
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX="$(pwd)/build-win/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX" ]; then
    echo "test-windows: creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi

frame_hashes() { # frame_hashes DIR: one line per frame, the MD5 of its RGB pixels
    ffmpeg -nostdin -v error -i "$1/frame_%06d.png" -f framemd5 -c:v rawvideo -pix_fmt rgb24 - | grep -v '^#'
}

seconds=10
failed=0
for start in "" "16 part3" "part7" "part8"; do
    name=start$(echo "_$start" | tr ' ' '_')
    ./build/morrowick $start --data=build --capture="$out/$name.linux" --seconds=$seconds 2>/dev/null
    t0=$(date +%s)
    wine "$exe" $start --capture="$out/$name.wine" --seconds=$seconds 2>/dev/null
    t1=$(date +%s)
    frame_hashes "$out/$name.linux" > "$out/$name.linux.md5"
    frame_hashes "$out/$name.wine" > "$out/$name.wine.md5"
    frames=$(wc -l < "$out/$name.linux.md5")
    different=$(diff "$out/$name.linux.md5" "$out/$name.wine.md5" | grep -c '^<' || true)
    if [ "$frames" -gt 0 ] && [ "$different" -eq 0 ] && [ "$(wc -l < "$out/$name.wine.md5")" -eq "$frames" ]; then
        echo "test-windows: '${start:-no words}': $frames frames identical to the Linux build's ($((t1 - t0)) s under Wine)"
    else
        echo "test-windows: '${start:-no words}': $different of $frames frames differ from the Linux build's" >&2
        diff "$out/$name.linux.md5" "$out/$name.wine.md5" | head -n 4 >&2
        failed=1
    fi
    if cmp -s "$out/$name.linux/audio.wav" "$out/$name.wine/audio.wav"; then
        echo "test-windows: '${start:-no words}': audio identical too"
    else
        echo "test-windows: '${start:-no words}': audio differs (it comes from the module library; not compared)"
    fi
done

# The whole demo, at 32 and at 8 bits: the hash over every frame must match too.
for words in 32 8; do
    linux_hash=$(./build/morrowick $words --capture=null --data=build 2>/dev/null)
    wine_hash=$(wine "$exe" $words --capture=null 2>/dev/null | tr -d '\r')
    if [ -n "$linux_hash" ] && [ "$linux_hash" = "$wine_hash" ]; then
        echo "test-windows: whole demo at $words bits, identical: $linux_hash"
    else
        echo "test-windows: whole demo at $words bits differs: [$linux_hash] and [$wine_hash]" >&2
        failed=1
    fi
done

# A live run in a window under a virtual X server, with a screenshot once the road drive shows
# (Wine takes a few seconds to start, and the demo opens with 2 s of black).
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    openbox >/dev/null 2>&1 &
    sleep 1
    wine "$0" window part3 --seconds=12 2>"$1/live.log" &
    demo=$!
    sleep 10
    xwd -root -silent > "$1/live.xwd"
    wait $demo
' "$exe" "$out" && status=0 || status=$?
ffmpeg -nostdin -v error -y -i "$out/live.xwd" "$out/live.png" || true
# The middle of the screen (inside the window) must show something other than black.
lit=$(ffmpeg -nostdin -v error -i "$out/live.png" -vf crop=640:480:320:272 -f rawvideo -pix_fmt gray - \
    | tr -d '\000' | wc -c)
if [ "$status" -eq 0 ] && [ "$lit" -gt 10000 ]; then
    echo "test-windows: live run under Xvfb + Wine exited 0 (screenshot $out/live.png)"
else
    echo "test-windows: live run under Xvfb + Wine exited $status, $lit lit pixels in the screenshot" >&2
    grep -v '^ALSA' "$out/live.log" >&2 || true
    failed=1
fi
[ "$failed" -eq 0 ] && echo "test-windows: all Windows checks passed"
exit $failed
