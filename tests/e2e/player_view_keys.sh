#!/usr/bin/env bash
# F1 puts the camera in the insect's eyes and shows the green gun sight in the
# middle of the screen; F2 goes back behind the insect and hides it.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
add_frame_counter
start_program nightbite
centre_game_window

# Strongly green pixels in the 128 x 128 square in the middle of the window.
green_in_middle() {
    screenshot "$NB_TMP/$1.png"
    convert "$NB_TMP/$1.png" -crop 128x128+$((wx + ww / 2 - 64))+$((wy + wh / 2 - 64)) +repage \
        -fx '(g - r > 0.2 && g - b > 0.2) ? 1 : 0' -format '%[fx:round(mean * w * h)]' info:
}

wait_frames 10
before=$(green_in_middle behind)
press_key F1
eyes=$(green_in_middle eyes)
press_key F2
after=$(green_in_middle behind_again)
echo "green pixels: behind $before, first person $eyes, behind again $after"
[ "$before" -lt 20 ] || fail "a gun sight before F1 ($before green pixels)"
[ "$eyes" -gt 300 ] || fail "no gun sight after F1 ($eyes green pixels)"
[ "$after" -lt 20 ] || fail "the gun sight stayed after F2 ($after green pixels)"

rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "player_view_keys: ok"
