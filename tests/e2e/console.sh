#!/usr/bin/env bash
# The console through the real window at 800x600: the key left of 1 opens it
# and pauses the game, a typed set_player_health(50) runs in the game's
# state and the status line says Health 50 once it is closed; typed text is
# UTF-8 (and Q a letter, not a way out); an error shows in red; Escape quits
# from it; and the lines typed are there again after a restart.
# (The restart is watched through watch_scripts=yes, the option's setting.)
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
# xdotool types a character that the keyboard map lacks by mapping a spare
# key to it for a moment, and the game may read the key after that moment;
# the map gets the test's letters, as a keyboard that has them would.
cat > "$NB_TMP/keys.xkb" <<'XKB'
xkb_keymap {
    xkb_keycodes { include "evdev+aliases(qwerty)" };
    xkb_types { include "complete" };
    xkb_compat { include "complete" };
    xkb_symbols {
        include "pc+us+inet(evdev)"
        key <FK13> { [ adiaeresis, Adiaeresis ] };
        key <FK14> { [ udiaeresis, Udiaeresis ] };
        key <FK15> { [ ssharp ] };
    };
};
XKB
xkbcomp -w 0 "$NB_TMP/keys.xkb" "$DISPLAY" 2> "$NB_TMP/xkbcomp.log" || fail "xkbcomp: $(cat "$NB_TMP/xkbcomp.log")"
make_game_dir
sed -i 's/^Video Mode=.*/Video Mode=800 x 600/' "$NB_GAME_DIR/Resources/ogre.cfg"
# The muted-microphone line would stand where the console's prompt is looked for.
hear_quiet_room
add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
# The status line's text, also written where the test can read it.
add_script frame_started <<LUA
local text = string.format("Health %d", get_player_health())
hud_status(text)
local f = io.open("$NB_TMP/status", "w"); f:write(text, "\n"); f:close()
LUA
add_frame_counter

# Waits until the share of a region of the window (WxH+X+Y) drawn in a
# colour (an fx condition) is above (or, with "below", under) a level:
# wait_share NAME REGION CONDITION LEVEL [below]
wait_share() {
    local share
    for _ in $(seq $((50 * NB_TIMEOUT_SCALE))); do
        window_shot "$1"
        share=$(region_mean "$NB_TMP/$1.png" "$2" "$3")
        awk -v s="$share" -v l="$4" -v b="${5:-}" 'BEGIN {exit !(b == "" ? s > l : s < l)}' && return 0
        sleep 0.2
    done
    return 1
}
# The input line's yellow prompt, bottom left.
prompt='r > 0.8 && g > 0.75 && b < 0.75 ? 1 : 0'
red='r > 0.75 && g < 0.5 && b < 0.5 ? 1 : 0'
# Each step is named as it starts, so that a run cut short says where.
open_console() {
    echo "console: $1"
    xdotool key grave
    wait_share "$1" 24x22+10+570 "$prompt" 0.02 || fail "the console did not open ($1)"
}
close_console() {
    echo "console: $1"
    xdotool key grave
    wait_share "$1" 24x22+10+570 "$prompt" 0.001 below || fail "the console did not close ($1)"
}
type_line() { xdotool type --delay 20 "$1"; xdotool key Return; }
start_game() {
    start_program nightbite
    centre_game_window
    wait_frames 5
}

start_game
wait_line "$NB_TMP/status" "Health 100" || fail "no status line"

# Open: the game stands still; the line runs; closed, the game goes on.
open_console opened
frames=$(frame_count)
type_line 'set_player_health(50)'
type_line "f = io.open(\"$NB_TMP/typed\", \"w\") f:write(\"Quäle Grüße\") f:close()"
for _ in $(seq $((100 * NB_TIMEOUT_SCALE))); do [ -s "$NB_TMP/typed" ] && break; sleep 0.1; done
[ "$(cat "$NB_TMP/typed" 2>/dev/null)" = "Quäle Grüße" ] ||
    fail "the typed UTF-8 line did not run as typed: '$(cat "$NB_TMP/typed" 2>/dev/null)'"
[ "$(frame_count)" = "$frames" ] || fail "the game ran on with the console open"

# An error: red on the line above the input, and not on standard error.
type_line 'nosuch()'
wait_share error 400x20+12+540 "$red" 0.02 || fail "the error is not shown in red"
grep -q "nosuch" "$NB_TMP/nightbite.err" && fail "the console's own error went to standard error"

close_console closed
wait_line "$NB_TMP/status" "Health 50" || fail "the status line does not say Health 50"

# Escape quits from the open console; the history is in the player's file.
open_console before_quit
rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc quitting from the console"
history="$NB_GAME_DIR/Resources/console_history"
[ "$(sed -n 1p "$history")" = 'set_player_health(50)' ] && [ "$(wc -l < "$history")" = 3 ] ||
    fail "the history file holds: $(cat "$history")"

# After a restart, Up three times finds the first line again. This start
# also asks for the scripts to be watched, by the settings file's line.
rm -f "$NB_TMP/frame_count" "$NB_TMP/status"
echo "watch_scripts=yes" >> "$NB_GAME_DIR/Resources/nightbite.cfg"
start_game
grep -q "^Watching Resources/Scripts" "$NB_TMP/nightbite.err" || fail "watch_scripts=yes did not watch"
wait_line "$NB_TMP/status" "Health 100" || fail "no status line after the restart"
open_console reopened
xdotool key Up Up Up Return
close_console closed_again
wait_line "$NB_TMP/status" "Health 50" || fail "the line from the history did not run again"
rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc"
[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP"/{opened,error,closed}.png "$NB_KEEP_SHOTS/"
echo "console: ok"
