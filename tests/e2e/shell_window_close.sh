#!/usr/bin/env bash
# Closing the window ends the game like Escape: the input devices are
# released with one notice, no further frame runs a script, "save_game"
# follows, and the status is 0.
source "$(dirname "$0")/lib.sh" "$1"
wm_close=$2
start_xvfb
make_game_dir
log="$NB_TMP/events"
add_script frame_started <<LUA
local f = io.open("$log", "a"); f:write("frame\n"); f:close()
LUA
add_script save_game <<LUA
local f = io.open("$log", "a"); f:write("save_game ", args.file, "\n"); f:close()
LUA
start_program nightbite
id=$(wait_game_window) || fail "no game window"
wait_lines "$log" 5 20 || fail "no frames"
"$wm_close" "$id" || fail "could not ask the window to close"
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status after closing the window: $rc"
# ("Sprava", the audio worker's notice, has no line end of its own.)
[ "$(sed 's/Sprava//g' "$NB_TMP/nightbite.out" | grep -c '^Input manager destroyed$')" = 1 ] ||
    fail "expected one 'Input manager destroyed' line"
[ "$(tail -n 1 "$log")" = "save_game test" ] || fail "save_game did not follow the close"
[ "$(grep -c '^save_game' "$log")" = 1 ] || fail "save_game ran more than once"

# SIGTERM ends the game as Escape does (quit_signals.sh looks at the save and
# the output): the status is 0.
make_game_dir
start_program nightbite
wait_game_window > /dev/null || fail "no game window"
pkill -TERM -P "$NB_GAME_PID"
rc=$(wait_exit 10)
[ "$rc" = 0 ] || fail "status after SIGTERM: $rc"
echo "shell_window_close: ok"
