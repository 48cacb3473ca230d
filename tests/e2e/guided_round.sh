#!/usr/bin/env bash
# A first round through the guide, with the game's own scripts and real input
# only: the insect is never put anywhere. One person is asked to stand still
# near the nest's house; a pilot reads the insect's state, which a few lines
# added to the frame script write, and steers with the cursor and Shift:
# climb, fly to the person, land on the head, drink until the warning, tap
# Space once, climb to the roof, fly to the nest and bank. The guide goes step
# by step; the best score is kept at once, after F3, and after a restart, when
# the guide no longer shows by itself.
#
# With NB_ROUND_PICTURES=DIR it also keeps four pictures of the window there
# (start, drinking, carrying, banked: the README's); with NB_WHISTLE=FILE
# (raw 22050 Hz mono S16) the microphone hears that recording, through SDL's
# disk driver.
source "$(dirname "$0")/lib.sh" "$1"
if [ -n "${NB_WHISTLE:-}" ]; then
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN=$NB_WHISTLE SDL_DISKAUDIOFILE=/dev/null
fi
# Takes the picture while the round goes on (a slow machine takes seconds).
pictures=()
picture() {
    [ -n "${NB_ROUND_PICTURES:-}" ] || return 0
    (window_shot "$1" && cp "$NB_TMP/$1.png" "$NB_ROUND_PICTURES/$1.png") &
    pictures+=($!)
}
start_xvfb
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
# The display's texts and the sounds, logged from the first call on.
mv "$NB_GAME_DIR/Resources/Scripts/new_game.lua" "$NB_TMP/new_game.lua"
cat - "$NB_TMP/new_game.lua" > "$NB_GAME_DIR/Resources/Scripts/new_game.lua" <<LUA
if not nb_wrapped then
    nb_wrapped = true
    local function log(kind, text)
        local f = io.open("$NB_TMP/hud.out", "a")
        f:write(kind, " ", (string.gsub(text, "\n", " | ")), "\n")
        f:close()
    end
    for _, name in ipairs({"hud_status", "hud_message", "hud_guide", "play_sound"}) do
        local real = _G[name]
        _G[name] = function(text, ...)
            if name ~= "hud_status" or text ~= nb_last_status then
                nb_last_status = name == "hud_status" and text or nb_last_status
                log(name, text)
            end
            return real(text, ...)
        end
    end
end
LUA
cat >> "$NB_GAME_DIR/Resources/Scripts/frame_started.lua" <<LUA

if not nb_staged then
    nb_staged = true
    npc_stop_walking("gustav")
    npc_set_position("gustav", 370, 115, 300)
end
local p, o, v = get_player_position(), get_player_orientation(), get_player_speed()
local f = io.open("$NB_TMP/state", "w")
f:write(string.format("%.1f %.1f %.1f %.4f %.3f %s %.1f %d %.3f\n", p[1], p[2], p[3],
                      math.atan2(o[7], o[9]), v[1], get_currently_sucked_npc() or "-",
                      get_player_bloodlevel(), math.floor(game.banked or 0), get_player_thrust()))
f:close()
LUA
add_frame_counter
# x y z heading forward-speed host blood banked (whole) thrust
state() { cat "$NB_TMP/state" 2>/dev/null; }
# One field of the state; the game rewrites the file every frame, so a read
# that catches it empty is tried again.
field() {
    local s
    for _ in $(seq 50); do
        s=$(state)
        [ -n "$s" ] && break
        sleep 0.02
    done
    echo "$s" | awk -v n="$1" '{print $n}'
}
logged() { grep -qE -- "$1" "$NB_TMP/hud.out" 2>/dev/null; }
wait_log() {
    for _ in $(seq $((40 * NB_TIMEOUT_SCALE * 10))); do
        logged "$1" && return 0
        sleep 0.1
    done
    fail "waited for a line like '$1' on the display: $(tail -n 4 "$NB_TMP/hud.out")"
}

# One look at the state and one move of the controls towards (tx, tz) at the
# height ty: the cursor turns towards the target and leans forward at a speed
# fitting the distance left (back when too fast); Shift holds the height,
# held while the thrust is below what hovers with the load, plus a share of
# the height still to go.
# Prints the horizontal distance left.
shift_down=0
pilot_step() {
    local s; s=$(state)
    [ -n "$s" ] || { echo 99999; return; }
    read -r dx dy dist climb < <(echo "$s" | awk -v tx="$1" -v ty="$2" -v tz="$3" -v w="$ww" -v h="$wh" '{
        pi = 3.14159265; ex = tx - $1; ez = tz - $3; d = sqrt(ex * ex + ez * ez)
        e = atan2(ex, ez) - $4; while (e > pi) e -= 2 * pi; while (e < -pi) e += 2 * pi
        mx = -e; if (mx > 0.7) mx = 0.7; if (mx < -0.7) mx = -0.7
        want = d / 120; if (want > 3) want = 3; if (e > 0.5 || e < -0.5) want = 0
        my = -(want - $5) * 0.25; if (my > 0.45) my = 0.45; if (my < -0.45) my = -0.45
        lift = 0.5 * (1 + $7 / 150) + (ty - $2) / 300
        printf "%d %d %d %d\n", mx * w / 2, my * h / 2, d, ($9 < lift) }')
    xdotool mousemove $((wx + ww / 2 + dx)) $((wy + wh / 2 + dy))
    if [ "$climb" = 1 ] && [ "$shift_down" = 0 ]; then xdotool keydown shift; shift_down=1; fi
    if [ "$climb" = 0 ] && [ "$shift_down" = 1 ]; then xdotool keyup shift; shift_down=0; fi
    echo "$dist"
}
# Flies until the condition on the state's fields holds: fly_until TX TY TZ COND WHAT
fly_until() {
    for _ in $(seq $((120 * NB_TIMEOUT_SCALE * 10))); do
        state | awk "NF {found = ($4)} END {exit !found}" && return 0
        [ -s "$NB_TMP/nightbite.rc" ] && fail "the game ended while flying to $5"
        pilot_step "$1" "$2" "$3" > /dev/null
        sleep 0.1
    done
    fail "never got to $5; state (x y z heading speed host blood banked): $(state)"
}

start_program nightbite
centre_game_window
wait_frames 5
wait_log "^hud_guide Guide 1/7: Climb"
wait_frames 20
picture start

fly_until 0 240 0 '$2 > 200' "the first climb"
wait_log "^hud_guide Guide 2/7: Fly to a person"
fly_until 370 240 300 '$6 == "gustav"' "gustav's head"
# Ready to leave: the climb held while drinking (it lifts nothing yet).
[ "$shift_down" = 0 ] && xdotool keydown shift && shift_down=1
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
wait_log "^hud_guide Guide 4/7: Drink"
wait_log "^play_sound drink"
wait_log "^play_sound warning"
wait_log "^hud_message About to be slapped! Press Space to get away"
wait_log "^hud_guide Guide 5/7: Fly off before the slap"
picture drinking
echo "drinking: $(state)"

# Climbing, one short tap of Space, as a hurried player gives it.
xdotool key space
wait_frames 10
[ "$(field 6)" = "-" ] || fail "a tap of Space did not take the insect off gustav: $(state)"
blood=$(field 7)
awk -v b="$blood" 'BEGIN {exit !(b > 0)}' || fail "no blood carried away: $(state)"
wait_log "^hud_guide Guide 6/7: Fly to the nest"
echo "away with $blood blood"

fly_until 370 1010 300 '$2 > 980' "the height of the roofs"
fly_until 680 1010 0 '$1 > 420' "the way to the nest"
picture carrying
fly_until 680 1010 0 '$8 > 0' "the nest"
[ "$shift_down" = 1 ] && xdotool keyup shift && shift_down=0
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
score=$(field 8)
echo "banked: score $score"
wait_log "^play_sound bank"
wait_log "^hud_guide Well done"
wait_frames 10
picture banked
best=$(cat "$NB_GAME_DIR/Resources/best_score" 2>/dev/null)
[ "$best" = "$score" ] || fail "best_score holds '$best' right after banking $score"
[ -f "$NB_GAME_DIR/Resources/guide_done" ] || fail "the finished guide is not remembered"

for p in "${pictures[@]}"; do wait "$p"; done
press_key F3
wait_log "^hud_status Score 0   Health 100   Blood type A   Best $score\$"
[ "$(cat "$NB_GAME_DIR/Resources/best_score")" = "$score" ] || fail "F3 changed best_score"
rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc"
if grep -E "error running script|Couldn't execute script" "$NB_TMP/nightbite.err"; then
    fail "script errors during the round"
fi

# A restart: the best score is there from the first frame, and the guide,
# done once, stays away until H asks for it.
mv "$NB_TMP/hud.out" "$NB_TMP/first.out"
rm -f "$NB_TMP/frame_count"
start_program nightbite
centre_game_window
wait_frames 30
logged "^hud_status Score 0   Health 100   Blood type A   Best $score\$" ||
    fail "after a restart: $(grep '^hud_status' "$NB_TMP/hud.out" | head -n 1)"
logged "^hud_guide Guide" && fail "the guide showed by itself again"
press_key h
wait_log "^hud_guide Guide 1/7: Climb"
rc=$(quit_game)
[ "$rc" = 0 ] || fail "exit status $rc after the restart"
echo "guided_round: ok"
