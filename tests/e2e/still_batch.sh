#!/usr/bin/env bash
# The game's street looks the same once its still objects are drawn from the
# batch (and their depth is written before the sky): a picture before the
# batch forms and one after it, from the same place, differ only where the
# clouds drift and the insect's wings beat.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
# The people stand aside at the far end; the insect is held in the chase
# view, which has closed in on it by frame 25; no message is shown. At frames
# 25 (still drawn object by object) and 90 (from the batch) the script waits,
# the last frame staying on the screen, until the test has its picture.
add_script frame_started <<LUA
if not staged then
    for _, p in ipairs(game.people) do
        npc_stop_walking(p.name)
        npc_set_position(p.name, p.x, 115, 1880)
    end
    staged = true
end
set_player_position(0, 150, -300)
set_player_orientation(1, 0, 0, 0, 1, 0, 0, 0, 1)
hud_message("", 0)
held = (held or 0) + 1
if held == 25 or held == 90 then
    local f = io.open("$NB_TMP/held_" .. held, "w") f:close()
    while not io.open("$NB_TMP/go_" .. held) do os.execute("sleep 0.05") end
end
LUA
export NIGHTBITE_SCRIPT_SECONDS=600
hear_quiet_room
# The guide, which moves on as the insect rises, stays away: only the street
# may differ between the two pictures.
echo done > "$NB_GAME_DIR/Resources/guide_done"
start_program nightbite
centre_game_window

shot_at() {
    for _ in $(seq $((60 * NB_TIMEOUT_SCALE * 10))); do
        [ -f "$NB_TMP/held_$1" ] && break
        [ -s "$NB_TMP/nightbite.rc" ] && fail "the game ended before frame $1"
        sleep 0.1
    done
    [ -f "$NB_TMP/held_$1" ] || fail "the game did not reach frame $1"
    window_shot "frame_$1"
    touch "$NB_TMP/go_$1"
}
shot_at 25
shot_at 90

# The insect sits in the middle of the lower half; its wings beat.
masked() {
    convert "$NB_TMP/$1.png" -fill black \
        -draw "rectangle $((ww / 2 - 130)),$((wh / 2 + 40)) $((ww / 2 + 130)),$((wh - 100))" \
        "$NB_TMP/$1_masked.png"
}
masked frame_25
masked frame_90
changed=$(compare -metric AE -fuzz 6% "$NB_TMP/frame_25_masked.png" "$NB_TMP/frame_90_masked.png" null: 2>&1 | cut -d' ' -f1)
total=$((ww * wh))
echo "before and after the batch: $changed of $total pixels differ"
[ "$changed" -lt $((total / 200)) ] || fail "the batched street looks different: $changed pixels changed"
# The display's readouts, X never changed since the first frame, all show:
# green text on each of their three lines.
for line in 0 1 2; do
    green=$(convert "$NB_TMP/frame_90.png" -crop 110x20+15+$((15 + 24 * line)) +repage \
        -fx 'g > 0.5 && r < 0.4 && b < 0.4' -format '%[fx:round(mean * w * h)]' info:)
    [ "$green" -gt 20 ] || fail "readout line $line of the display is blank ($green green pixels)"
done
[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP/frame_25.png" "$NB_TMP/frame_90.png" "$NB_KEEP_SHOTS/"
press_key Escape
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "still_batch: ok"
