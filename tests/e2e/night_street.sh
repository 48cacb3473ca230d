#!/usr/bin/env bash
# The game's own street at night: the picture is dark, yet the road under a
# lamp is clearly brighter than the road between two lamps; and at ground
# level the first-person view shows the ground in its lower half, not sky.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
# Staging instead of the rules: the people stand aside at the far end of the
# street, and the insect is held where the test file "view" says.
add_script frame_started <<LUA
if not staged then
    for _, p in ipairs(game.people) do
        npc_stop_walking(p.name)
        npc_set_position(p.name, p.x, 115, 1880)
    end
    staged = true
end
local f = io.open("$NB_TMP/view")
local view = f and f:read("*l") or "chase"
if f then f:close() end
if view == "chase" then
    set_player_position(0, 150, -300)
else
    set_player_position(0, 0, -200)
end
set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
if view == "no_ground" then
    set_world_object_position("ground", 0, -5000, 0)
end
LUA
add_frame_counter
start_program nightbite
centre_game_window
# The chase camera closes in on its place over a few dozen frames.
wait_frames 40

shot() { window_shot "$1"; }
# Mean grey level (0 to 255) of a square of 15 pixels around a point.
grey_at() {
    convert "$NB_TMP/$1.png" -crop 15x15+$(($2 - 7))+$(($3 - 7)) +repage -colorspace Gray \
        -format '%[fx:round(255 * mean)]' info:
}
# Where a world point lands in the chase view: the camera sits 50 above and
# 100 behind the insect and looks at the point 100 ahead of it; the vertical
# field of view is 45 degrees.
project() {
    awk -v X="$1" -v Y="$2" -v Z="$3" -v w="$ww" -v h="$wh" 'BEGIN {
        cx = 0; cy = 200; cz = -400; n = sqrt(50 * 50 + 200 * 200)
        fy = -50 / n; fz = 200 / n        # forward
        uy = fz; uz = -fy                 # up, square to forward
        vx = X - cx; vy = Y - cy; vz = Z - cz
        depth = vy * fy + vz * fz; up = vy * uy + vz * uz
        t = sin(3.14159265 / 8) / cos(3.14159265 / 8)
        # Looking along +Z, the right of the picture is -X.
        printf "%d %d\n", w / 2 + (-vx / (depth * t * w / h)) * w / 2, h / 2 - (up / (depth * t)) * h / 2
    }'
}

shot chase
mean=$(convert "$NB_TMP/chase.png" -colorspace Gray -format '%[fx:round(255 * mean)]' info:)
# The lamp on the east kerb at z = 400 lights the road 140 out from its post;
# halfway to the lamp at z = -400 no lamp reaches.
read -r lx ly < <(project 190 -1 400)
read -r dx dy < <(project 190 -1 0)
lit=$(grey_at chase "$lx" "$ly")
dark=$(grey_at chase "$dx" "$dy")
echo "chase view: mean grey $mean; road under a lamp $lit at ($lx, $ly), between lamps $dark at ($dx, $dy)"
[ "$mean" -lt 60 ] || fail "the street is not dark: mean grey $mean"
[ "$mean" -gt 4 ] || fail "the street is black: mean grey $mean"
[ "$lit" -ge $((dark * 3 / 2)) ] && [ "$lit" -ge $((dark + 25)) ] ||
    fail "the road under the lamp ($lit) is not clearly brighter than between lamps ($dark)"

# First person, resting on the road, looking along it: the ground fills the
# lower half. Without the ground there, that half must look different.
echo ground > "$NB_TMP/view"
press_key F1
wait_frames 10
shot ground
echo no_ground > "$NB_TMP/view"
wait_frames 10
shot no_ground
lower=${ww}x$((wh / 2 - 20))+0+$((wh / 2 + 10))
convert "$NB_TMP/ground.png" -crop "$lower" +repage "$NB_TMP/lower_ground.png"
convert "$NB_TMP/no_ground.png" -crop "$lower" +repage "$NB_TMP/lower_no_ground.png"
changed=$(compare -metric AE -fuzz 4% "$NB_TMP/lower_ground.png" "$NB_TMP/lower_no_ground.png" null: 2>&1 | cut -d' ' -f1)
total=$((ww * (wh / 2 - 20)))
echo "first person at ground level: $changed of $total lower pixels are the ground's"
[ "$changed" -gt $((total * 7 / 10)) ] || fail "the ground covers only $changed of $total pixels of the lower half"

[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP/chase.png" "$NB_TMP/ground.png" "$NB_TMP/no_ground.png" "$NB_KEEP_SHOTS/"
press_key Escape
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "night_street: ok"
