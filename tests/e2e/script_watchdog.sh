#!/usr/bin/env bash
# A frame_started script that never ends: the watchdog stops it every frame,
# so frames keep coming, Escape ends the game with status 0 and "save_game"
# runs once more on the way out. On the way it throws the insect to either
# end of the float range, which the chase camera must survive.
# Then a script that waits inside a library call, where the watchdog cannot
# reach: the game says so, and Escape still ends it, with status 3, with
# everything printed before written out and the processes the script started
# ended.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
log="$NB_TMP/events"
add_script save_game <<LUA
local f = io.open("$log", "a"); f:write("save_game ", tostring(args.file), "\n"); f:close()
LUA
# The frame count is written before the loop, so that the helpers can wait
# on frames.
add_script frame_started <<LUA
nb_test_frames = (nb_test_frames or 0) + 1
local nb_f = io.open("$NB_TMP/frame_count", "w")
nb_f:write(nb_test_frames, "\n")
nb_f:close()
if nb_test_frames == 2 then set_player_position(0, 0, 3.4e38) end
if nb_test_frames == 3 then set_player_position(0, 0, -3.4e38) end
while true do end
LUA
export NIGHTBITE_SCRIPT_SECONDS=0.2

start_program nightbite
wait_game_window > /dev/null || fail "no game window"
wait_frames 5
grep -q '^error running script frame_started: \[string "line"\]:7: script stopped: it ran longer than the time limit of 0.2 seconds$' \
    "$NB_TMP/nightbite.err" || fail "no time-limit error for frame_started"
press_key Escape
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status $rc"
[ "$(grep -c '^save_game test$' "$log")" = 1 ] || fail "save_game did not run once on the way out"

add_script frame_started <<LUA
nb_test_frames = (nb_test_frames or 0) + 1
local nb_f = io.open("$NB_TMP/frame_count", "w")
nb_f:write(nb_test_frames, "\n")
nb_f:close()
if nb_test_frames == 5 then
    for i = 1, 10 do print("printed before the wait " .. i) end
    os.execute("sh -c 'echo \$\$ > $NB_TMP/sh.pid; sleep 45 & echo \$! > $NB_TMP/sleep.pid; wait'")
end
LUA
rm -f "$log"
start_program nightbite
wait_game_window > /dev/null || fail "no game window"
stuck() { grep -q "^The script frame_started has run for [0-9]* seconds inside a library function" "$NB_TMP/nightbite.err"; }
for _ in $(seq $((20 * NB_TIMEOUT_SCALE * 10))); do stuck && break; sleep 0.1; done
stuck || fail "nothing said about the stuck script"
xdotool keydown Escape
rc=$(wait_exit 10)
xdotool keyup Escape
[ "$rc" = 3 ] || fail "Escape during a stuck script: exit status $rc, 3 expected"
grep -q "^Game ended with Escape while the script frame_started was stuck; not saved$" "$NB_TMP/nightbite.err" ||
    fail "no line saying the game ended unsaved"
[ "$(grep -c 'printed before the wait [0-9]*$' "$NB_TMP/nightbite.out")" = 10 ] ||
    fail "what the script printed before it got stuck was lost"
grep -Eq '^Ended the processes the script started: sh \([0-9]+\), .*sleep \([0-9]+\)$' "$NB_TMP/nightbite.err" ||
    fail "no line naming the processes ended"
# Gone, or a zombie waiting for whoever adopted it. The state is read once:
# a zombie can be reaped between two looks.
running() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2> /dev/null) && [ -n "$state" ] && [ "$state" != Z ]
}
for started in sh sleep; do
    pid=$(cat "$NB_TMP/$started.pid")
    ! running "$pid" || { kill "$pid"; fail "the script's $started was left running"; }
done
echo "script_watchdog: ok"
