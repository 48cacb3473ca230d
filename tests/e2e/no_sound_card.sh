#!/usr/bin/env bash
# A machine whose sound system has no card: ALSA configured with none, and SDL
# on ALSA. The microphone's box must be answerable as a player answers it,
# with Return typed while it has the focus (not sent to its window, which
# gets past any grab), and the game must then play: the street, the
# no-microphone line, and the climb by the left button. Quitting is not held
# up by anything the sound side left behind.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
cat > "$NB_TMP/asound.conf" <<'ALSA'
pcm.!default { type hw card 0 }
ctl.!default { type hw card 0 }
ALSA
export ALSA_CONFIG_PATH="$NB_TMP/asound.conf" SDL_AUDIODRIVER=alsa
make_game_dir
add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
add_script frame_started <<LUA
local p = get_player_position()
local f = io.open("$NB_TMP/track", "a")
f:write(string.format("%.5f %.3f\n", get_player_thrust(), p[2]))
f:close()
LUA
start_program nightbite

box=$(wait_window Exception 30) || fail "no box about the microphone"
xdotool windowfocus --sync "$box" 2>/dev/null || fail "the box cannot take the focus"
for _ in $(seq 10); do
    xdotool key Return
    for _ in $(seq 20); do
        has_window Exception || break 2
        sleep 0.1
    done
done
has_window Exception && fail "Return did not close the box: the game still holds the keyboard"
grep -q "^Exception: Cannot open device, Error " "$NB_TMP/nightbite.err" ||
    fail "the box's text was not on standard error"

id=$(wait_game_window) || fail "the game did not go on after the box"
window_geometry "$id"
wait_lines "$NB_TMP/track" 30 60 || fail "waited 60 s for 30 frames of the track script"
window_shot street
colours=$(colour_count "$NB_TMP/street.png")
yellow=$(region_mean "$NB_TMP/street.png" 480x22+20+$((wh - 37)) 'r > 0.7 && g > 0.6 && b < 0.45 ? 1 : 0')
echo "street: $colours colours; no-microphone line, yellow share $yellow"
[ "$colours" -gt 100 ] || fail "no street on screen ($colours colours)"
awk -v y="$yellow" 'BEGIN {exit !(y > 0.05)}' || fail "no no-microphone line ($yellow)"

xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2)) mousedown 1
wait_last "$NB_TMP/track" '$1 >= 1' 30 || { xdotool mouseup 1; fail "the left button did not climb"; }
xdotool mouseup 1
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "no_sound_card: ok"
