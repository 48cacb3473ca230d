#!/usr/bin/env bash
# Script events raised by the keyboard: F3, F5 and F8 act at most once per
# calendar second (a tap quicker than a frame counts too), a held F5 repeats
# each second with args.file "test", a script that does not compile reports
# its error on every attempt while the game goes on, and Escape raises
# "save_game" once more after the loop.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
log="$NB_TMP/events"
add_script new_game <<LUA
local f = io.open("$log", "a"); f:write("new_game\n"); f:close()
LUA
add_script save_game <<LUA
local f = io.open("$log", "a"); f:write("save_game ", tostring(args.file), " ", os.time(), "\n"); f:close()
LUA
add_script frame_started <<LUA
local f = io.open("$NB_TMP/frame_log", "a"); f:write("frame\n"); f:close()
LUA
add_script load_game <<'LUA'
this is not lua
LUA
add_frame_counter
frames() { wc -l < "$NB_TMP/frame_log"; }

start_program nightbite
wait_game_window > /dev/null || fail "no game window"
wait_lines "$log" 1 20 || fail "new_game did not run"
sleep 1.2

# F5 held for two and a half seconds, starting just after a second begins.
# Held across three or four calendar seconds, it raises one save_game in each:
# the times are consecutive seconds, none twice.
while [ "$(date +%N | cut -c1)" != 0 ]; do sleep 0.02; done
xdotool keydown F5
sleep 2.5
xdotool keyup F5
wait_frames 3
saves=$(grep -c "^save_game test " "$log")
[ "$saves" -ge 2 ] && [ "$saves" -le 4 ] || fail "held F5 raised save_game $saves times"
[ "$(grep -c '^save_game' "$log")" = "$saves" ] || fail "save_game ran without args.file test"
grep '^save_game' "$log" | awk 'NR > 1 && $3 != previous + 1 {bad = 1} {previous = $3} END {exit bad}' ||
    fail "save_game times are not one per second: $(grep '^save_game' "$log" | awk '{print $3}' | tr '\n' ' ')"

# F8 twice, in different seconds: the broken script reports each time.
sleep 1.1
press_key F8
sleep 1.2
press_key F8
# (A press that spans a change of second counts twice, as a held key does.)
errors=$(grep -c "^Couldn't execute script load_game: script compilation error: \[string \"line\"\]:1: " "$NB_TMP/nightbite.err")
[ "$errors" -ge 2 ] || fail "expected a compilation error per attempt, got $errors"
before=$(frames)
sleep 1
[ "$(frames)" -gt "$before" ] || fail "the game stopped running after the script error"

# F3 raises new_game again.
sleep 1.1
pressed=$(date +%s)
press_key F3
released=$(date +%s)
# (Again, a press raises it once more at each change of second it spans; on a
# slow machine the frames it waits for can take more than one.)
news=$(grep -c '^new_game' "$log")
[ "$news" -ge 2 ] && [ "$news" -le $((2 + released - pressed)) ] ||
    fail "F3 raised new_game $((news - 1)) times, held over $((released - pressed)) changes of second"
# A tap quicker than a frame (pressed and let go at once) counts as well.
sleep 1.1
xdotool key F3
wait_frames 5
[ "$(grep -c '^new_game' "$log")" = $((news + 1)) ] || fail "a quick tap of F3 did not raise new_game"

count=$(grep -c '^save_game' "$log")
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
[ "$(grep -c '^save_game' "$log")" = $((count + 1)) ] || fail "Escape did not raise save_game once"
echo "script_events: ok"
