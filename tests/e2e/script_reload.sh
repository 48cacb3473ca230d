#!/usr/bin/env bash
# Scripts changed while the game runs, with --watch-scripts, through the real
# window at 800x600: frame_started edited in place runs its new text, and a
# module it requires is read again; a syntax error shows in red on the
# screen and on standard error, and the game goes on; the fix, saved as many
# editors do (a temporary file renamed over the script), runs and takes the
# error off the screen; a script file added meanwhile is raised by a trigger.
# Frames are counted by a trigger script of their own, so that they go on
# while frame_started is broken.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
sed -i 's/^Video Mode=.*/Video Mode=800 x 600/' "$NB_GAME_DIR/Resources/ogre.cfg"
scripts="$NB_GAME_DIR/Resources/Scripts"
mark="$NB_TMP/mark"

add_script new_game <<LUA
create_world_object("ground", "ground.mesh")
create_trigger("ticks", -1e7, -1e7, -1e7, 1e7, 1e7, 1e7, "tick")
LUA
add_script tick <<LUA
nb_test_frames = (nb_test_frames or 0) + 1
local f = io.open("$NB_TMP/frame_count", "w"); f:write(nb_test_frames, "\n"); f:close()
LUA
add_script util <<'LUA'
return {word = "alpha"}
LUA
frame_script() { # frame_script WORD: frame_started writing WORD and the module's word
    cat <<LUA
local f = io.open("$mark", "a"); f:write("$1 ", require("util").word, "\n"); f:close()
LUA
}
frame_script one | add_script frame_started

# The share of the error panel's place (at the left, under the message) that
# is drawn in the errors' red.
red_share() {
    window_shot "$1"
    region_mean "$NB_TMP/$1.png" 360x36+14+218 'r > 0.75 && g < 0.5 && b < 0.5 ? 1 : 0'
}

start_program_args nightbite --watch-scripts
centre_game_window
wait_frames 5
grep -qx "Watching Resources/Scripts: scripts saved while the game runs are taken in" \
    "$NB_TMP/nightbite.err" || fail "no line saying that the scripts are watched"
wait_last "$mark" '$0 == "one alpha"' || fail "frame_started did not run"
awk -v s="$(red_share clean)" 'BEGIN {exit !(s < 0.005)}' || fail "red in the error panel's place before any error"

# Edited in place, then its module: each runs its new text. How long the
# change took to show is printed, not judged: the machine may be loaded.
saved_frame=$(frame_count) saved_at=$(date +%s.%N)
frame_script two > "$scripts/frame_started.lua"
wait_last "$mark" '$0 == "two alpha"' || fail "the edited frame_started did not run"
awk -v f="$(( $(frame_count) - saved_frame ))" -v t="$(date +%s.%N)" -v s="$saved_at" \
    'BEGIN {printf "script_reload: the edit ran %d frames, %.2f s after the save\n", f, t - s}'
grep -qx "Reloaded script frame_started" "$NB_TMP/nightbite.err" || fail "no line named the reloaded script"
echo 'return {word = "beta"}' > "$scripts/util.lua"
wait_last "$mark" '$0 == "two beta"' || fail "the edited module was not required afresh"

# A syntax error: on standard error on every frame, and on the screen in red.
printf 'local x = = 1\n' > "$scripts/frame_started.lua"
compile_error="Couldn't execute script frame_started: script compilation error: [string \"line\"]:1: unexpected symbol near '='"
wait_line "$NB_TMP/nightbite.err" "$compile_error" || fail "the syntax error is not on standard error"
wait_frames 5
[ "$(grep -cxF "$compile_error" "$NB_TMP/nightbite.err")" -ge 5 ] || fail "the error is not printed on every frame"
awk -v s="$(red_share broken)" 'BEGIN {exit !(s > 0.02)}' || fail "the syntax error is not on the screen in red"

# A new script, then the fix saved as an IDE saves: written beside, renamed
# over. The fix runs, names the new script in a trigger, and the error goes.
add_script bonus <<LUA
local f = io.open("$NB_TMP/bonus", "a"); f:write(args.trigger, "\n"); f:close()
LUA
wait_line "$NB_TMP/nightbite.err" "Added script bonus" || fail "the new script was not added"
{
    frame_script three
    echo 'if not trigger_exists("b") then create_trigger("b", -1e7, -1e7, -1e7, 1e7, 1e7, 1e7, "bonus") end'
} > "$scripts/.frame_started.lua.tmp1234"
mv "$scripts/.frame_started.lua.tmp1234" "$scripts/frame_started.lua"
wait_last "$mark" '$0 == "three beta"' || fail "the fixed frame_started did not run"
wait_last "$NB_TMP/bonus" '$0 == "b"' || fail "the trigger did not raise the new script"
wait_frames 3
awk -v s="$(red_share fixed)" 'BEGIN {exit !(s < 0.005)}' || fail "the fixed error stays on the screen"
[ "$(grep -c "^Reloaded script frame_started$" "$NB_TMP/nightbite.err")" = 3 ] ||
    fail "each save should be one reload: $(grep -c "^Reloaded script frame_started$" "$NB_TMP/nightbite.err")"
grep -q "tmp1234" "$NB_TMP/nightbite.err" && fail "the editor's temporary file was taken for a script"

rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc"
[ "$(grep -v '^Sprava$' "$NB_TMP/nightbite.out")" = "" ] || fail "reloading wrote to standard output"
[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP"/{clean,broken,fixed}.png "$NB_KEEP_SHOTS/"
echo "script_reload: ok"
