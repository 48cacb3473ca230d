#!/usr/bin/env bash
# SIGTERM, SIGINT, SIGHUP and SIGQUIT end the game the way Escape does: the
# loop ends, "save_game" runs once, and everything the scripts printed is
# written out. A second signal, while the first cannot end the game (a script
# waits in a library call), ends it at once.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
add_script new_game <<'LUA'
for i = 1, 10 do print("line " .. i .. " of the start") end
LUA
add_script save_game <<LUA
local f = io.open("$NB_TMP/saved", "a") f:write("save_game ", tostring(args.file), "\n") f:close()
print("saved on the way out")
LUA
add_script frame_started <<LUA
if nb_test_frames == 5 and stuck_at_frame_5 then
    local f = io.open("$NB_TMP/stuck", "w") f:write("stuck\n") f:close()
    os.execute("echo \$\$ > $NB_TMP/sleep.pid; exec sleep 30")
end
LUA
add_frame_counter

# The game with the signals' own handling: a shell starts a background job
# with SIGINT and SIGQUIT ignored, and the game keeps a signal it was started
# ignoring. Sets game_pid.
start_game() {
    rm -f "$NB_TMP/nightbite.rc" "$NB_TMP/frame_count" "$NB_TMP/saved"
    NB_PROGRAM=nightbite
    (cd "$NB_GAME_DIR" && env --default-signal=INT,QUIT ./nightbite > "$NB_TMP/nightbite.out" \
        2> "$NB_TMP/nightbite.err"; echo $? > "$NB_TMP/nightbite.rc") &
    NB_GAME_PID=$!
    wait_game_window > /dev/null || fail "no game window"
    game_pid=$(pgrep -P "$NB_GAME_PID" -x nightbite) || fail "no game process"
}

for signal in TERM INT HUP QUIT; do
    start_game
    wait_frames 3
    kill -s "$signal" "$game_pid"
    rc=$(wait_exit 20)
    [ "$rc" = 0 ] || fail "SIG$signal: exit status $rc, 0 expected"
    [ "$(cat "$NB_TMP/saved")" = "save_game test" ] || fail "SIG$signal: save_game did not run once"
    # ("Sprava", the audio worker's notice, has no line end of its own and
    # comes whenever its thread starts.)
    [ "$(grep -c 'line [0-9]* of the start$' "$NB_TMP/nightbite.out")" = 10 ] &&
        [ "$(sed 's/Sprava//g' "$NB_TMP/nightbite.out" | tail -n 1)" = "saved on the way out" ] ||
        fail "SIG$signal: the output is not whole"
    grep -qx "Ending the game on SIG$signal, as with Escape" "$NB_TMP/nightbite.err" ||
        fail "SIG$signal: nothing said about the signal"
done

# Stuck in a library call, far from the time limit's guard.
echo "stuck_at_frame_5 = true" >> "$NB_GAME_DIR/Resources/Scripts/new_game.lua"
export NIGHTBITE_SCRIPT_SECONDS=3600
start_game
wait_lines "$NB_TMP/stuck" 1 || fail "the script did not get stuck"
kill -s TERM "$game_pid"
# Until the first is delivered, a second would merge with it.
delivered() { ! grep -Eq '^(SigPnd|ShdPnd):\s*0*[1-9a-f]' "/proc/$game_pid/status" 2>/dev/null; }
for _ in $(seq $((20 * NB_TIMEOUT_SCALE * 10))); do delivered && break; sleep 0.1; done
kill -s TERM "$game_pid"
rc=$(wait_exit 20)
kill "$(cat "$NB_TMP/sleep.pid")" 2>/dev/null
[ "$rc" = 143 ] || fail "a second SIGTERM: exit status $rc, 143 expected"
[ ! -s "$NB_TMP/saved" ] || fail "a second SIGTERM still saved"
echo "quit_signals: ok"
