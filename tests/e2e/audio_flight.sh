#!/usr/bin/env bash
# The microphone drives the insect. A 2 kHz tone through SDL's disk capture
# driver lifts it; with the cursor at the window's top edge it also pitches
# forward and travels along its heading. With no capture device at all the
# game shows the device box, goes on, and the insect gets no lift.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
sox -n -r 22050 -c 1 -b 16 -e signed "$NB_TMP/tone.raw" synth 30 sine 2000 ||
    fail "sox could not make the test tone"

track_scripts() {
    make_game_dir
    add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
    # Position, the Z axis of the orientation and the thrust, every frame.
    add_script frame_started <<LUA
local p, o = get_player_position(), get_player_orientation()
local f = io.open("$NB_TMP/track", "a")
f:write(string.format("%.3f %.3f %.3f %.4f %.3f\n", p[1], p[2], p[3], o[8], get_player_thrust()))
f:close()
LUA
    rm -f "$NB_TMP/track"
}
last() { tail -n 1 "$NB_TMP/track"; }

# 1. Tone, cursor in the middle: the insect climbs.
track_scripts
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/tone.raw" SDL_DISKAUDIOFILE=/dev/null
start_program nightbite
id=$(wait_game_window) || fail "no game window"
window_geometry "$id"
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
sleep 6
read -r x y z axis thrust < <(last)
echo "after 6 s of tone: y $y thrust $thrust"
awk -v t="$thrust" 'BEGIN {exit !(t >= 0.99)}' || fail "the tone did not bring full thrust ($thrust)"
awk -v y="$y" 'BEGIN {exit !(y > 100)}' || fail "the insect did not climb (y $y)"

# 2. Cursor to the top edge: nose down, lift forward, travel along +Z.
xdotool mousemove $((wx + ww / 2)) $((wy + 1))
sleep 1
read -r x0 y0 z0 axis0 thrust0 < <(last)
sleep 3
read -r x1 y1 z1 axis1 thrust1 < <(last)
echo "top edge: Z axis y $axis1, z from $z0 to $z1"
awk -v a="$axis1" 'BEGIN {exit !(a < -0.6)}' || fail "the insect did not pitch forward ($axis1)"
awk -v a="$z0" -v b="$z1" 'BEGIN {exit !(b - a > 50)}' || fail "the insect did not move forward ($z0 -> $z1)"
press_key Escape
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status $rc"
grep -q "Exception" "$NB_TMP/nightbite.err" && fail "an audio failure was reported"

# 3. No capture device (nor output device): the box, then a game without lift.
track_scripts
export SDL_AUDIODRIVER=no_such_driver
start_program nightbite
dismiss_box Exception 30
wait_game_window > /dev/null || fail "the game did not go on after the device box"
sleep 2
read -r x y z axis thrust < <(last)
[ "$thrust" = "0.000" ] || fail "thrust without a microphone: $thrust"
press_key Escape
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status without a device: $rc"
grep -q "^Exception: Cannot open device, Error [0-9a-f]*$" "$NB_TMP/nightbite.err" ||
    fail "no 'Cannot open device' text on standard error"
[ "$(grep -c '^Chyba - nevytvoreny audio device.$' "$NB_TMP/nightbite.err")" = 1 ] ||
    fail "no single output-device line on standard error"
echo "audio_flight: ok"
