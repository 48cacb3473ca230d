#!/usr/bin/env bash
# Frames per second of the street, 1280x720 on the virtual display (Mesa's
# software renderer), for two sets of media and scripts side by side with the
# same game program: run A and run B take turns, so that load on the machine
# falls on both alike. Prints each run and the medians.
#
# Usage: street_fps.sh RUN_DIR_A RUN_DIR_B [ROUNDS] [SECONDS]
#   The program is RUN_DIR_B's; each side brings its own Resources/media,
#   Resources/sound and Resources/Scripts. For example, to compare against the
#   media of another branch, build that branch's nb_media and nb_content in a
#   separate build folder and pass its run folder as A.
#   RUN_DIR_A may be the word "empty": B's media with scripts that build
#   nothing, so the scene is the sky, the display and the insect.
#   STREET_FPS_ALSO="RUN_DIR..." adds run folders that run their own program
#   (an older build, say) to every round, after A and B.
#   Both sides play as a returning player: the guide was done before, and the
#   welcome box is closed when the count begins, so that each side draws the
#   same display and the figures compare the scenes alone.
#   STREET_FPS_FIRST_START=1 plays a first start instead (the welcome box and
#   the guide show on the sides whose scripts put them up).
set -euo pipefail
run_b=$(cd "$2" && pwd)
run_a=$1
if [ "$run_a" != empty ]; then
    run_a=$(cd "$1" && pwd)
fi
rounds=${3:-5}
seconds=${4:-8}
also=()
for dir in ${STREET_FPS_ALSO:-}; do
    also+=("$(cd "$dir" && pwd)")
done
source "$(dirname "$0")/../tools/scripts/virtual_display.sh"
start_virtual_display
export SDL_AUDIODRIVER=dummy

# One timed run: the street as the game's own new_game builds it, the insect
# held still at the start in the chase view, the people walking. The frame
# script sums the frame times after a warm-up and writes the rate once.
measure() {
    local run=$1 program=${2:-$run_b} folder="$vd_tmp/game" scripts
    rm -rf "$folder"
    mkdir -p "$folder/Resources"
    scripts=$run/Resources/Scripts
    if [ "$run" = empty ]; then
        run=$run_b
        scripts=$vd_tmp/empty_scripts
        mkdir -p "$scripts"
        : > "$scripts/new_game.lua"
        : > "$scripts/frame_started.lua"
    fi
    ln -s "$program/nightbite" "$folder/"
    for entry in media sound; do ln -s "$run/Resources/$entry" "$folder/Resources/$entry"; done
    cp "$program/Resources/plugins.win.cfg" "$program/Resources/resources.cfg" "$folder/Resources/"
    sed 's/^VSync=.*/VSync=No/' "$program/Resources/ogre.cfg.default" > "$folder/Resources/ogre.cfg"
    cp -r "$scripts" "$folder/Resources/Scripts"
    local first_start=true
    if [ -z "${STREET_FPS_FIRST_START:-}" ]; then
        first_start=false
        echo done > "$folder/Resources/guide_done"
    fi
    # First, so that an early return of the game's own script cannot skip it.
    mv "$folder/Resources/Scripts/frame_started.lua" "$vd_tmp/frame_started.lua"
    cat > "$folder/Resources/Scripts/frame_started.lua" <<LUA
set_player_position(0, 10, 0)
set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
bench_frames = (bench_frames or 0) + 1
if bench_frames == 100 and not $first_start then
    hud_message("", 0)
end
if bench_frames == 101 then
    bench_cpu = os.clock()
end
if bench_frames > 100 then
    bench_time = (bench_time or 0) + get_time_since_last_frame()
    bench_counted = (bench_counted or 0) + 1
    if bench_time >= $seconds and not bench_done then
        local f = io.open("$vd_tmp/fps.tmp", "w")
        f:write(string.format("%.1f %.2f\n", bench_counted / bench_time,
                              (os.clock() - bench_cpu) * 1000 / (bench_counted - 1)))
        f:close()
        os.rename("$vd_tmp/fps.tmp", "$vd_tmp/fps")
        bench_done = true
    end
end
LUA
    cat "$vd_tmp/frame_started.lua" >> "$folder/Resources/Scripts/frame_started.lua"
    rm -f "$vd_tmp/fps"
    (cd "$folder" && exec ./nightbite > "$vd_tmp/game.out" 2>&1) &
    game=$!
    wait_game_window
    xdotool mousemove $((wx + 640)) $((wy + 360))
    wait_for "the frame rate" $((seconds * 10 + 120)) test -s "$vd_tmp/fps"
    quit_game
    cat "$vd_tmp/fps"
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: > "$vd_tmp/a"
: > "$vd_tmp/b"
for k in "${!also[@]}"; do : > "$vd_tmp/also$k"; done
# Each run gives its frame rate and the process's processor time per frame
# (all its threads, the renderer's included), which load on the machine
# disturbs less than the rate.
shown() { echo "$1 fps (${2} ms cpu a frame)"; }
for i in $(seq "$rounds"); do
    read -r a a_cpu < <(measure "$run_a")
    read -r b b_cpu < <(measure "$run_b")
    line="round $i: A $(shown "$a" "$a_cpu"), B $(shown "$b" "$b_cpu")"
    echo "$a $a_cpu" >> "$vd_tmp/a"
    echo "$b $b_cpu" >> "$vd_tmp/b"
    for k in "${!also[@]}"; do
        read -r c c_cpu < <(measure "${also[$k]}" "${also[$k]}")
        line+=", ${also[$k]} $(shown "$c" "$c_cpu")"
        echo "$c $c_cpu" >> "$vd_tmp/also$k"
    done
    echo "$line"
done
column_median() { cut -d' ' -f"$1" "$2" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b / a}'; }
ma=$(column_median 1 "$vd_tmp/a")
mb=$(column_median 1 "$vd_tmp/b")
ca=$(column_median 2 "$vd_tmp/a")
cb=$(column_median 2 "$vd_tmp/b")
echo "median: A $ma fps, B $mb fps, B/A $(ratio "$ma" "$mb")"
echo "median cpu a frame: A $ca ms, B $cb ms, A/B $(ratio "$cb" "$ca")"
for k in "${!also[@]}"; do
    mc=$(column_median 1 "$vd_tmp/also$k")
    cc=$(column_median 2 "$vd_tmp/also$k")
    echo "median: ${also[$k]} $mc fps, against A $(ratio "$ma" "$mc"); cpu $cc ms, A/it $(ratio "$cc" "$ca")"
done
