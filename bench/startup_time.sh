#!/usr/bin/env bash
# Seconds from the start of the game's process to its first frame, on the
# virtual display at 1280x720 (Mesa's software renderer), with the game's own
# street: to the first "frame_started" (start-up done, the street built), and
# to the second, which comes once the first frame is drawn (the renderer
# compiles its shaders then). A script reads how long the process has lived
# from /proc, to a hundredth of a second. Prints each run and the medians.
#
# Usage: startup_time.sh RUN_DIR [RUNS]
set -euo pipefail
run=$(cd "$1" && pwd)
runs=${2:-5}
source "$(dirname "$0")/../tools/scripts/virtual_display.sh"
start_virtual_display
export SDL_AUDIODRIVER=dummy

measure() {
    local folder="$vd_tmp/game"
    rm -rf "$folder"
    mkdir -p "$folder/Resources"
    ln -s "$run/nightbite" "$folder/"
    for entry in media sound; do ln -s "$run/Resources/$entry" "$folder/Resources/$entry"; done
    cp "$run/Resources/plugins.win.cfg" "$run/Resources/resources.cfg" "$folder/Resources/"
    sed 's/^VSync=.*/VSync=No/' "$run/Resources/ogre.cfg.default" > "$folder/Resources/ogre.cfg"
    cp -r "$run/Resources/Scripts" "$folder/Resources/Scripts"
    mv "$folder/Resources/Scripts/frame_started.lua" "$vd_tmp/frame_started.lua"
    cat > "$folder/Resources/Scripts/frame_started.lua" <<LUA
startup_frames = (startup_frames or 0) + 1
if startup_frames <= 2 then
    local function field(path, n)
        local f = io.open(path) local text = f:read("*a") f:close()
        local i = 0
        for word in text:gsub("^.*%) ", ""):gmatch("%S+") do
            i = i + 1
            if i == n then return tonumber(word) end
        end
    end
    -- The first field of /proc/uptime: now, in seconds after boot; field 22
    -- of stat (the 20th after the name): the start, in ticks of 1/100 s
    -- (USER_HZ, which Linux keeps at 100).
    local f = io.open("/proc/uptime") local now = tonumber(f:read("*a"):match("^(%S+)")) f:close()
    local started = field("/proc/self/stat", 20) / 100
    startup_times = (startup_times or "") .. string.format("%.2f ", now - started)
    if startup_frames == 2 then
        local out = io.open("$vd_tmp/started.tmp", "w")
        out:write(startup_times, "\n")
        out:close()
        os.rename("$vd_tmp/started.tmp", "$vd_tmp/started")
    end
end
LUA
    cat "$vd_tmp/frame_started.lua" >> "$folder/Resources/Scripts/frame_started.lua"
    rm -f "$vd_tmp/started"
    (cd "$folder" && exec ./nightbite > "$vd_tmp/game.out" 2>&1) &
    game=$!
    wait_for "the first frame" 120 test -s "$vd_tmp/started"
    wait_game_window
    quit_game
    cat "$vd_tmp/started"
}

: > "$vd_tmp/times"
for i in $(seq "$runs"); do
    read -r first drawn < <(measure)
    echo "run $i: $first s to the first frame, $drawn s to the first drawn frame"
    echo "$first $drawn" >> "$vd_tmp/times"
done
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
echo "median: $(cut -d' ' -f1 "$vd_tmp/times" | median) s to the first frame, $(cut -d' ' -f2 "$vd_tmp/times" | median) s to the first drawn frame"
