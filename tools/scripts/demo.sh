#!/usr/bin/env bash
# A short unattended flight on a private virtual display, for machines with no
# display of their own: a whistle-like tone goes in through SDL's disk capture
# driver, the cursor steers a little, and a screenshot is taken in the air.
#
# Usage: demo.sh RUN_DIR [SCREENSHOT]   (RUN_DIR holds nightbite and Resources/)
# Needs Xvfb, xdotool, ImageMagick's import and SoX. Ends with the game's status.
set -Eeuo pipefail
run_dir=$(cd "$1" && pwd)
shot=${2:-$run_dir/screenshot.png}
case $shot in /*) ;; *) shot="$PWD/$shot" ;; esac
flight_seconds=${NB_DEMO_SECONDS:-6}
source "$(dirname "$0")/virtual_display.sh"
start_virtual_display

# Ten minutes of a 2.2 kHz tone: the microphone's part of the demo. Sound
# output goes nowhere.
sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$vd_tmp/whistle.raw" synth 600 sine 2200 vol 0.3
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$vd_tmp/whistle.raw" SDL_DISKAUDIOFILE=/dev/null

cd "$run_dir"
[ -e Resources/ogre.cfg ] || cp Resources/ogre.cfg.default Resources/ogre.cfg
./nightbite &
game=$!
wait_game_window

# Steer: a little towards the top of the window leans the insect forward, a
# little to the right turns it towards the houses.
xdotool mousemove $((wx + 640)) $((wy + 360)) 2>/dev/null || true
sleep 0.5
xdotool mousemove $((wx + 690)) $((wy + 320)) 2>/dev/null || true
sleep "$flight_seconds"
xdotool mousemove $((wx + 640)) $((wy + 360)) 2>/dev/null || true
sleep 0.5

mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
quit_game
echo "Screenshot: $shot"
echo "The game ended with status $status."
exit $status
