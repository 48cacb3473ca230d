#!/usr/bin/env bash
# The game opens its window "Nightbite" straight away when a rendering
# configuration is stored, renders the sky, and ends with status 0 on Escape
# and on Q. "new_game" runs once before the first frame, "frame_started"
# every frame, and "save_game" once after the loop.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb

run_once() {
    local key=$1
    make_game_dir
    rm -f "$NB_TMP/events"
    add_script new_game <<LUA
local f = io.open("$NB_TMP/events", "a"); f:write("new_game ", get_time_since_last_frame(), "\n"); f:close()
LUA
    add_script frame_started <<LUA
frames = (frames or 0) + 1
if frames == 1 or frames == 30 then
  local f = io.open("$NB_TMP/events", "a"); f:write("frame ", frames, "\n"); f:close()
end
LUA
    add_script save_game <<LUA
local f = io.open("$NB_TMP/events", "a"); f:write("save_game ", tostring(args.file), "\n"); f:close()
LUA
    start_program nightbite
    wait_game_window > /dev/null || fail "no window titled Nightbite"
    has_window "Rendering Settings" && fail "the dialog appeared although ogre.cfg exists"
    wait_lines "$NB_TMP/events" 3 30 || fail "the game did not reach its 30th frame"
    if [ "$key" = Escape ]; then
        screenshot "$NB_TMP/shot.png"
        [ "$(colour_count "$NB_TMP/shot.png")" -gt 16 ] || fail "the screenshot is a single colour"
    fi
    local rc; rc=$(quit_game 20 "$key")
    [ "$rc" = 0 ] || fail "exit status after $key: $rc"
    [ "$(head -n 1 "$NB_TMP/events")" = "new_game 0" ] || fail "new_game did not run first, at time 0"
    [ "$(grep -c '^new_game' "$NB_TMP/events")" = 1 ] || fail "new_game ran more than once"
    [ "$(tail -n 1 "$NB_TMP/events")" = "save_game test" ] || fail "save_game did not run last with args.file test"
    [ "$(grep -c '^save_game' "$NB_TMP/events")" = 1 ] || fail "save_game ran more than once"
    # Standard output carries the program's own notices only.
    [ -z "$(sed 's/Sprava//g' "$NB_TMP/nightbite.out")" ] || fail "unexpected standard output"
    rm -rf "$NB_GAME_DIR"
}

run_once Escape
run_once q
echo "shell_start_and_quit: ok"
