#!/usr/bin/env bash
# A short unattended flight on a private virtual display, for machines with no
# display of their own: a whistle-like tone goes in through SDL's disk capture
# driver, the cursor steers a little, and a screenshot is taken in the air.
#
# Usage: demo.sh RUN_DIR [SCREENSHOT]   (RUN_DIR holds nightbite and Resources/)
# Needs Xvfb, xdotool, ImageMagick's import and SoX. Ends with the game's status.
set -euo pipefail
run_dir=$(cd "$1" && pwd)
shot=${2:-$run_dir/screenshot.png}
case $shot in /*) ;; *) shot="$PWD/$shot" ;; esac
flight_seconds=${NB_DEMO_SECONDS:-6}

tmp=$(mktemp -d)
xvfb=
game=
cleanup() {
    [ -n "$game" ] && kill "$game" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

# Polls a command until it succeeds; fails with a message after the timeout.
wait_for() {
    local what=$1 timeout=$2
    shift 2
    for _ in $(seq $((timeout * 5))); do
        "$@" && return 0
        if [ -n "$game" ] && ! kill -0 "$game" 2>/dev/null; then
            echo "The game ended while waiting for $what." >&2
            return 1
        fi
        sleep 0.2
    done
    echo "Timed out after ${timeout}s waiting for $what." >&2
    return 1
}

display_ready() { [ -s "$tmp/display" ]; }
game_window() {
    local id
    id=$(xwininfo -root -tree 2>/dev/null | grep -F '"Nightbite"' | awk '{print $1}' | head -n 1) || true
    [ -n "$id" ] && window=$id
}

exec 7> "$tmp/display"
Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp > "$tmp/xvfb.log" 2>&1 &
xvfb=$!
exec 7>&-
wait_for "the virtual display" 30 display_ready
export DISPLAY=":$(head -n 1 "$tmp/display")"

# Ten minutes of a 2.2 kHz tone: the microphone's part of the demo. Sound
# output goes nowhere.
sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$tmp/whistle.raw" synth 600 sine 2200 vol 0.3
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$tmp/whistle.raw" SDL_DISKAUDIOFILE=/dev/null

cd "$run_dir"
[ -e Resources/ogre.cfg ] || cp Resources/ogre.cfg.default Resources/ogre.cfg
./nightbite &
game=$!
window=
wait_for "the game's window" 120 game_window
xdotool windowfocus "$window" 2>/dev/null || true

# Steer: a little towards the top of the window leans the insect forward, a
# little to the right turns it towards the houses.
read -r wx wy < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
xdotool mousemove $((wx + 640)) $((wy + 360)) 2>/dev/null || true
sleep 0.5
xdotool mousemove $((wx + 690)) $((wy + 320)) 2>/dev/null || true
sleep "$flight_seconds"
xdotool mousemove $((wx + 640)) $((wy + 360)) 2>/dev/null || true
sleep 0.5

mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
# Escape ends the game (it saves on the way out). A loaded machine can miss
# one short press, so press again until it has gone.
game_gone() { ! kill -0 "$game" 2>/dev/null; }
for _ in 1 2 3 4 5 6; do
    xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
    wait_for "the game to end" 10 game_gone 2>/dev/null && break
done
game_gone || { echo "The game did not end after Escape." >&2; exit 1; }
status=0
wait "$game" || status=$?
game=
echo "Screenshot: $shot"
echo "The game ended with status $status."
exit $status
