#!/usr/bin/env bash
# The display shows what the game hears. The lift meter beside the blood
# meter is empty in silence (SDL's dummy capture driver) and full with a 2 kHz
# tone (its disk capture driver), behind the insect (F2) and in its eyes (F1).
# A held left button on top of the tone lifts no harder. With no capture
# device, one line at the bottom left says how to climb without a microphone.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
sox -n -r 22050 -c 1 -b 16 -e signed "$NB_TMP/tone.raw" synth 30 sine 2000 ||
    fail "sox could not make the test tone"

track_scripts() {
    make_game_dir
    add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
    # Thrust every frame; held in the air and on its heading, so the picture
    # behind the meters changes little.
    add_script frame_started <<LUA
set_player_position(0, 60, 0)
set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
local f = io.open("$NB_TMP/track", "a")
f:write(string.format("%.5f\n", get_player_thrust()))
f:close()
LUA
    rm -f "$NB_TMP/track"
}

# The lower 160 rows of the lift meter's well: the share of bright green
# (level 1 to 5) pixels.
meter_green() {
    region_mean "$NB_TMP/$1.png" 12x160+$((ww - 94))+$((wh - 200)) 'g > 0.5 && b < 0.4 ? 1 : 0'
}
# The bottom-left line: the share of its yellow text pixels.
line_yellow() {
    region_mean "$NB_TMP/$1.png" 480x22+20+$((wh - 37)) 'r > 0.7 && g > 0.6 && b < 0.45 ? 1 : 0'
}
above() { awk -v a="$1" -v b="$2" 'BEGIN {exit !(a > b)}'; }

# 1. Silence.
track_scripts
start_program nightbite
centre_game_window
wait_lines "$NB_TMP/track" 30 60 || fail "waited 60 s for 30 frames of the track script"
window_shot silence
[ "$(tail -n 1 "$NB_TMP/track")" = "0.00000" ] || fail "thrust $(tail -n 1 "$NB_TMP/track") in the silence"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"

# 2. The tone.
track_scripts
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/tone.raw" SDL_DISKAUDIOFILE=/dev/null
start_program nightbite
centre_game_window
wait_last "$NB_TMP/track" '$1 >= 1' 40 || fail "waited 40 s for full thrust from the tone"
window_shot tone_behind
press_key F1
sleep 0.5
window_shot tone_eyes
# Voice and button together: never beyond full.
rm -f "$NB_TMP/track"
xdotool mousedown 1
wait_lines "$NB_TMP/track" 60 20 || { xdotool mouseup 1; fail "waited 20 s for 60 frames with the button held"; }
xdotool mouseup 1
most=$(sort -g "$NB_TMP/track" | tail -n 1)
[ "$most" = "1.00000" ] || fail "tone and button together gave thrust $most"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"

for s in silence tone_behind tone_eyes; do
    eval "green_$s=$(meter_green $s) yellow_$s=$(line_yellow $s)"
done
echo "lift meter green: silence $green_silence, tone behind $green_tone_behind, tone in the eyes $green_tone_eyes"
above 0.05 "$green_silence" || fail "the lift meter is not empty in the silence ($green_silence)"
above "$green_tone_behind" 0.6 || fail "the lift meter is not full with the tone, behind ($green_tone_behind)"
above "$green_tone_eyes" 0.6 || fail "the lift meter is not full with the tone, first person ($green_tone_eyes)"
above 0.01 "$yellow_silence" || fail "a no-microphone line with a microphone ($yellow_silence)"

# 3. No capture device (nor output device): the box, then the line.
track_scripts
export SDL_AUDIODRIVER=no_such_driver
start_program nightbite
dismiss_box Exception 30
id=$(wait_game_window) || fail "the game did not go on after the device box"
window_geometry "$id"
wait_lines "$NB_TMP/track" 30 60 || fail "waited 60 s for 30 frames of the track script"
window_shot no_microphone
yellow=$(line_yellow no_microphone)
echo "no-microphone line, yellow share: $yellow (with a microphone $yellow_silence)"
above "$yellow" 0.05 || fail "no no-microphone line at the bottom left ($yellow)"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status without a device: $rc"
[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP"/silence.png "$NB_TMP"/tone_*.png "$NB_TMP"/no_microphone.png "$NB_KEEP_SHOTS/"
echo "hearing_display: ok"
