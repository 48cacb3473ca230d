#!/usr/bin/env bash
# Makes the README's pictures from the built game: docs/screenshots/chase.png
# (in flight, chase view), first_person.png (F1, with the sight) and
# attached.png (drinking from a person). The game's own scripts play; a few
# lines added to its frame script hold the insect where each picture wants it.
#
# Usage: screenshots.sh [RUN_DIR] [OUT_DIR]   (defaults: build/run, docs/screenshots)
set -Eeuo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
run_dir=$(cd "${1:-$root/build/run}" && pwd)
out=${2:-$root/docs/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
source "$(dirname "$0")/virtual_display.sh"
start_virtual_display

sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$vd_tmp/whistle.raw" synth 600 sine 2200 vol 0.3
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$vd_tmp/whistle.raw" SDL_DISKAUDIOFILE=/dev/null

folder="$vd_tmp/game"
mkdir -p "$folder/Resources"
ln -s "$run_dir/nightbite" "$folder/"
for entry in media sound; do ln -s "$run_dir/Resources/$entry" "$folder/Resources/$entry"; done
cp "$run_dir/Resources/plugins.win.cfg" "$run_dir/Resources/resources.cfg" "$folder/Resources/"
cp "$run_dir/Resources/ogre.cfg.default" "$folder/Resources/ogre.cfg"
cp -r "$run_dir/Resources/Scripts" "$folder/Resources/Scripts"
cat >> "$folder/Resources/Scripts/frame_started.lua" <<LUA

-- Staging for the pictures: hold the insect in place for a while, or put it
-- on a person until it holds on; count the frames for the tool.
shot_frames = (shot_frames or 0) + 1
local shot = os.getenv("NB_SHOT")
if shot == "attached" then
    if not shot_placed then
        npc_stop_walking("emil")
        npc_set_position("emil", 60, 115, -250)
        shot_placed = true
    end
    if not get_currently_sucked_npc() then
        set_player_position(60, 230, -250)
    end
elseif shot_frames < 400 then
    set_player_position(40, 140, -420)
    set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
end
local f = io.open("$vd_tmp/frames", "w")
f:write(shot_frames, get_currently_sucked_npc() and " attached" or "", "\n")
f:close()
LUA

frames_at_least() {
    local n
    n=$(cut -d' ' -f1 "$vd_tmp/frames" 2>/dev/null) || true
    [ "${n:-0}" -ge "$1" ]
}
attached() { grep -q attached "$vd_tmp/frames" 2>/dev/null; }

take() {
    local name=$1 key=${2:-}
    rm -f "$vd_tmp/frames"
    (cd "$folder" && NB_SHOT=$name exec ./nightbite > "$vd_tmp/$name.out" 2>&1) &
    game=$!
    wait_game_window
    xdotool mousemove $((wx + 640)) $((wy + 360))
    wait_for "the game's first frames" 120 frames_at_least 60
    if [ -n "$key" ]; then
        xdotool keydown "$key"
        sleep 0.3
        xdotool keyup "$key"
    fi
    if [ "$name" = attached ]; then
        wait_for "the insect to hold on to a person" 60 attached
    fi
    # Let the level meter fill and the picture settle.
    sleep 3
    import -window "$window" "$out/$name.png"
    quit_game
    echo "$out/$name.png"
}

take chase
take first_person F1
take attached
