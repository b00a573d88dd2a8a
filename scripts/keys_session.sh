#!/bin/sh
# keys_session.sh -- under a virtual X server, press the live keys and take a screenshot after each.
#
#   scripts/keys_session.sh [BUILD_DIR] [OUT_DIR]
#
# Runs the demo full screen at 8 bits per pixel on an 800x600 Xvfb screen with a window manager,
# starting in the credits (--position=17), and presses with xdotool: Space (two shots while
# paused), F1 (overlay on), Right and PgDn (still paused: each shows the first frame of its place),
# Space (resume), F1 (overlay off) and F12. Writes OUT_DIR/NN_step.png (the whole screen), the
# demo's log and its own F12 picture (morrowick_0001.png). Checks what can be checked without eyes:
# the pause holds the picture and it moves again after, F1 changes the screen, Right and PgDn jump
# where they should (the --verbose log) and F12 writes a 320x240 PNG. Exit 0 when all hold.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=${2:-$build/keys_session}
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out"/demo.log

for tool in xvfb-run openbox xdotool xwd ffmpeg; do
    command -v "$tool" >/dev/null || { echo "keys_session: needs $tool" >&2; exit 2; }
done

export MW_EXE="$build/morrowick" MW_DATA="$build" MW_OUT="$out"
xvfb-run -a -s "-screen 0 800x600x24" sh -c '
    set -e
    openbox >/dev/null 2>&1 &
    sleep 1
    shot() {
        xwd -root -silent -out "$MW_OUT/screen.xwd"
        ffmpeg -loglevel error -y -i "$MW_OUT/screen.xwd" "$MW_OUT/$1.png"
        rm -f "$MW_OUT/screen.xwd"
        echo "shot $1"
    }
    key() { xdotool key "$1"; echo "key $1"; sleep "${2:-1.5}"; }
    cd "$MW_OUT" # F12 writes into the working directory
    SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$MW_EXE" 8 --position=17 --verbose --seconds=60 \
        --data="$MW_DATA" >"$MW_OUT/demo.log" 2>&1 &
    demo=$!
    sleep 3 # the window is shown once the display is set up
    window=$(xdotool search --sync --onlyvisible --name "^morrowick\$" | head -n 1)
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 2
    key space 1
    shot 01_paused
    sleep 1.5
    shot 02_still_paused
    key F1 1
    shot 03_overlay
    key Right
    shot 04_right
    key Next
    shot 05_page_down
    key space
    shot 06_resumed
    key F1 1
    shot 07_overlay_off
    key F12 1
    key Escape 0
    wait "$demo"
'

fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
same() { cmp -s "$out/$1.png" "$out/$2.png"; }
check "Space pauses: the picture holds" "same 01_paused 02_still_paused"
check "F1 shows the overlay (also while paused)" "! same 02_still_paused 03_overlay"
check "Right jumps to the next position (17 to 18)" "grep -q 'jump to 18:0' '$out/demo.log'"
check "PgDn jumps to the next scene change (the road at 19:0)" "grep -q 'scene   5 .*jump to 19:0' '$out/demo.log'"
check "Space again resumes: the picture moves" "! same 05_page_down 06_resumed"
check "F1 again hides the overlay" "! same 06_resumed 07_overlay_off"
check "F12 saved a picture and printed its path" "grep -q 'morrowick_0001.png' '$out/demo.log' && [ -f '$out/morrowick_0001.png' ]"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 \
    "$out/morrowick_0001.png" 2>/dev/null || true)
check "the saved picture is 320x240" "[ '$size' = '320x240' ]"
echo "screenshots and log in $out"
exit $fail
