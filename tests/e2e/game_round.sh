#!/usr/bin/env bash
# A round of the game with its own scripts. First a minute of free play, a
# tone through SDL's disk capture driver and the cursor moving about, without
# a single script error. Then, with the insect put on a person by a few lines
# added to the frame script: a bite raises the blood level, a slap costs
# health, banking at the nest raises the score on the status line, the slaps
# that take the last health end the round with its score and "F3: new round",
# the best score is kept in Resources/best_score, and F3 starts a new round.
# What the scripts put on the display is read through a wrapper, added to the
# new-game script, that also writes it to a file.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
cat >> "$NB_GAME_DIR/Resources/Scripts/new_game.lua" <<LUA

if not nb_wrapped then
    nb_wrapped = true
    local status, message = hud_status, hud_message
    local function log(kind, text)
        local f = io.open("$NB_TMP/hud.out", "a")
        f:write(kind, " ", (string.gsub(text, "\n", " | ")), "\n")
        f:close()
    end
    hud_status = function(text)
        if text ~= nb_last_status then
            nb_last_status = text
            log("status", text)
        end
        status(text)
    end
    hud_message = function(text, seconds)
        log("message", text)
        message(text, seconds)
    end
end
LUA
cat >> "$NB_GAME_DIR/Resources/Scripts/frame_started.lua" <<LUA

-- The test's stage: "play" leaves the insect alone, "bite" puts it on emil
-- until it holds on, "bank" puts it in the nest once it has let go.
local f = io.open("$NB_TMP/stage")
local stage = f and f:read("*l") or "play"
if f then f:close() end
if stage == "bite" and not get_currently_sucked_npc() then
    npc_stop_walking("emil")
    npc_set_position("emil", 60, 115, -250)
    set_player_position(60, 230, -250)
elseif stage == "bank" and not get_currently_sucked_npc() then
    set_player_position(800, 950, 0)
end
f = io.open("$NB_TMP/state", "w")
f:write(string.format("%d %d %s\n", get_player_bloodlevel(), get_player_health(),
                      get_currently_sucked_npc() or "-"))
f:close()
LUA
add_frame_counter

sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$NB_TMP/tone.raw" synth 45 sine 2150 vol 0.3 pad 0 600
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/tone.raw" SDL_DISKAUDIOFILE=/dev/null
echo play > "$NB_TMP/stage"
start_program nightbite
id=$(wait_game_window) || fail "no window titled Nightbite"
window_geometry "$id"

# A minute of play: the cursor wanders over the window while the tone lasts
# (45 s), then the insect comes down on its own.
wander 60 || fail "the game ended during free play"
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
frames=$(frame_count)
echo "free play: $frames frames in 60 s"
[ "$frames" -gt 60 ] || fail "only $frames frames in a minute of play"
if grep -E "error running script|Couldn't execute script" "$NB_TMP/nightbite.err"; then
    fail "script errors during free play"
fi
grep -q "^status Score 0   Health 100   Blood type A   Best " "$NB_TMP/hud.out" ||
    fail "no status line with the score, the health and the blood type"
grep -q "^message Whistle a high note to climb" "$NB_TMP/hud.out" || fail "no hints on the screen"

state() { cat "$NB_TMP/state" 2>/dev/null; }
# Waits until the display log holds a line matching an extended regex.
wait_hud() {
    for _ in $(seq $((30 * NB_TIMEOUT_SCALE * 10))); do
        grep -qE -- "$1" "$NB_TMP/hud.out" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
# Waits until the frame script's last "blood health sucked" line meets an awk
# condition.
wait_state() {
    wait_last "$NB_TMP/state" "$1" 30 || fail "waited for $2; state (blood health person): $(state)"
}

echo bite > "$NB_TMP/stage"
wait_state '$3 == "emil" && $1 > 0' "a bite to raise the blood level"
echo "bite: $(state)"
wait_state '$2 == 66' "a slap to take 34 health"
echo "slap: $(state)"

echo bank > "$NB_TMP/stage"
for _ in $(seq 10); do
    [ "$(state | cut -d' ' -f3)" = "-" ] && break
    press_key space
done
wait_hud "^status Score [1-9][0-9]*   Health 66   " ||
    fail "banking did not raise the score on the status line: $(grep '^status' "$NB_TMP/hud.out" | tail -n 3)"
score=$(grep "^status Score [1-9]" "$NB_TMP/hud.out" | tail -n 1 | awk '{print $3}')
echo "banked: score $score"

echo bite > "$NB_TMP/stage"
wait_state '$2 == 0' "two more slaps to take the last health"
wait_hud "^message Swatted! The round is over. \| Score $score   Best [0-9]+ \| F3: new round" ||
    fail "no end of the round on the screen: $(tail -n 3 "$NB_TMP/hud.out")"
best=$(cat "$NB_TMP/game/Resources/best_score" 2>/dev/null)
[ "${best:-0}" -ge "$score" ] || fail "best score file holds '${best:-}', the round scored $score"
echo "round over: score $score, best $best"

echo play > "$NB_TMP/stage"
press_key F3
wait_state '$2 == 100' "F3 to give a new round full health"
wait_hud "^status Score 0   Health 100   Blood type A   Best $best\$" ||
    fail "the new round's status line: $(grep '^status' "$NB_TMP/hud.out" | tail -n 1)"
if grep -E "error running script|Couldn't execute script" "$NB_TMP/nightbite.err"; then
    fail "script errors during the round"
fi
rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "game_round: ok"
