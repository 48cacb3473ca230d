#!/usr/bin/env bash
# Keys 1 to 4 swap the insect's body: the picture of the insect changes and
# comes back with key 1, while its place, speeds, blood and health stay.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
hear_quiet_room
make_game_dir
add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
set_player_position(30, 0, 40)
set_player_speed(0, 0, 3)
set_player_bloodlevel(42)
set_player_health(77)
set_player_bloodtype("B")
frames = 0
LUA
# The cursor cannot be put exactly on the middle of the input library's mouse
# area, and a cursor off the middle turns the insect slowly; the script holds
# the heading still so that pictures taken apart compare.
add_script frame_started <<LUA
set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
frames = frames + 1
if frames % 5 == 0 then
    local p, s = get_player_position(), get_player_speed()
    local f = io.open("$NB_TMP/state", "a")
    f:write(string.format("%g %g %g | %g %g %g | %g %d %s\n", p[1], p[2], p[3], s[1], s[2], s[3],
        get_player_bloodlevel(), get_player_health(), get_player_bloodtype()))
    f:close()
end
LUA
add_frame_counter
start_program nightbite
centre_game_window
wait_frames 10

# The lower part of the window: the ground and the insect, without the
# drifting clouds of the sky.
shot() { window_shot "$1" "${ww}x$((wh * 6 / 10))+0+$((wh * 4 / 10))"; }
differing() {
    compare -metric AE -fuzz 3% "$NB_TMP/$1.png" "$NB_TMP/$2.png" null: 2>&1 | cut -d' ' -f1
}

shot first
: > "$NB_TMP/state"
press_key 4
shot full
press_key 2
shot motor
press_key 1
shot first_again
wait_frames 10

full=$(differing first full)
motor=$(differing full motor)
again=$(differing first first_again)
echo "pixels changed: body 1 to 4: $full, 4 to 2: $motor, 1 and 1 again: $again"
[ "$full" -gt 200 ] || fail "key 4 did not change the body ($full pixels)"
[ "$motor" -gt 200 ] || fail "key 2 did not change the body ($motor pixels)"
# The camera settles to within a fraction of a pixel, so a few hundred
# edge pixels may differ; another body changes thousands.
[ "$again" -lt 500 ] || fail "key 1 did not bring the first body back ($again pixels)"

lines=$(sort -u "$NB_TMP/state" | wc -l)
[ "$(wc -l < "$NB_TMP/state")" -gt 5 ] || fail "too few frames logged"
[ "$lines" = 1 ] || fail "the state changed with the body: $(sort -u "$NB_TMP/state" | head -5)"
grep -q '^30 0 40 | 0 0 3 | 42 77 B$' "$NB_TMP/state" || fail "unexpected state $(head -1 "$NB_TMP/state")"

rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "player_body_keys: ok"
