#!/usr/bin/env bash
# The microphone drives the insect. A recorded whistle over a room's noise,
# through SDL's disk capture driver, lifts it; with the cursor at the window's
# top edge it also pitches forward and travels along its heading. Hiss alone
# leaves it on the ground, until a whistle joins in. With no capture device at
# all the game shows the device box, goes on, and the insect gets no lift.
# Usage: audio_flight.sh RUN_DIR SOUNDS_DIR (the sounds of make_sounds.sh)
source "$(dirname "$0")/lib.sh" "$1"
sounds=$(cd "${2:?usage: audio_flight.sh RUN_DIR SOUNDS_DIR}" && pwd) || fail "no folder $2"
for sound in flight_whistle flight_hiss; do
    [ -s "$sounds/$sound.raw" ] ||
        fail "no $sounds/$sound.raw: tests/audio/make_sounds.sh makes it (the sounds fixture)"
done
start_xvfb

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

# Waits until the last tracked frame meets an awk condition on x, y, z, axis
# and thrust.
wait_frame() {
    local condition=$1 timeout=$2
    for _ in $(seq $((timeout * 10))); do
        [ -s "$NB_TMP/track" ] && last | awk "{x = \$1; y = \$2; z = \$3; axis = \$4; thrust = \$5}
            END {exit !($condition)}" && return 0
        sleep 0.1
    done
    return 1
}

# 1. A whistle from 1 s on, cursor in the middle: the insect climbs.
track_scripts
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$sounds/flight_whistle.raw" SDL_DISKAUDIOFILE=/dev/null
start_program nightbite
id=$(wait_game_window) || fail "no game window"
window_geometry "$id"
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
wait_frame "thrust >= 0.99 && y > 100" 30 ||
    fail "waited 30 s for the whistle to bring full thrust and a climb above y 100; last frame: $(last)"
echo "whistle: $(last)"

# 2. Cursor to the top edge: nose down, lift forward, travel along the heading.
xdotool mousemove $((wx + ww / 2)) $((wy + 1))
wait_frame "axis < -0.6" 15 || fail "waited 15 s for the insect to pitch forward; last frame: $(last)"
read -r x0 y0 z0 axis0 thrust0 < <(last)
# Along its heading, whichever that is: the pointer rests in the window's
# corner for a moment at start-up, which turns the insect by an angle that
# depends on how fast the machine draws frames.
wait_frame "(x - $x0) ^ 2 + (z - $z0) ^ 2 > 50 ^ 2" 15 ||
    fail "waited 15 s for the insect to move 50 across from x $x0 z $z0; last frame: $(last)"
echo "top edge: $(last)"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
grep -q "Exception" "$NB_TMP/nightbite.err" && fail "an audio failure was reported"

# 3. Hiss alone for 22 s of sound, then a whistle over it. Nothing may lift
# the insect in the first 20 s after the game starts (the sound begins a
# little after that, at start-up), and the whistle must: so the microphone
# was heard all along.
track_scripts
export SDL_DISKAUDIOFILEIN="$sounds/flight_hiss.raw"
started=$(date +%s.%N)
start_program nightbite
wait_game_window > /dev/null || fail "no game window"
since() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}'; }
: > "$NB_TMP/frames"
for _ in $(seq 450); do
    # Seconds since the start and frames tracked by then, from one reading
    # of the track, so that the thrust seen is among the frames counted.
    snapshot=$(cat "$NB_TMP/track" 2>/dev/null) || true
    echo "$(since) $(printf '%s' "$snapshot" | grep -c .)" >> "$NB_TMP/frames"
    printf '%s\n' "$snapshot" | tail -n 1 | awk '{t = $5} END {exit !(t > 0)}' && break
    sleep 0.1
done
lift=$(awk '$5 > 0 {print NR; exit}' "$NB_TMP/track")
[ -n "$lift" ] || fail "waited 45 s for the whistle after the hiss to give thrust; last frame: $(last)"
at=$(awk -v n="$lift" '$2 >= n {print $1; exit}' "$NB_TMP/frames")
grounded=$(awk '$1 < 20 {n = $2} END {print n + 0}' "$NB_TMP/frames")
echo "hiss: first thrust in frame $lift, $at s after the start; $grounded frames in the first 20 s"
awk -v t="$at" 'BEGIN {exit !(t >= 20)}' ||
    fail "hiss lifted the insect $at s after the start: $(sed -n "${lift}p" "$NB_TMP/track")"
[ "$grounded" -ge 20 ] || fail "only $grounded frames in the first 20 s: the game hardly ran"
awk 'NR > 1 && $2 > y0 + 1 {exit 1} NR == 1 {y0 = $2}' <(head -n "$((lift - 1))" "$NB_TMP/track") ||
    fail "the insect rose during the hiss without thrust"
wait_frame "thrust >= 0.99" 15 || fail "waited 15 s for the whistle over the hiss to bring full thrust"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status after the hiss $rc"

# 4. No capture device (nor output device): the box, then a game without lift.
track_scripts
export SDL_AUDIODRIVER=no_such_driver
start_program nightbite
dismiss_box Exception 30
wait_game_window > /dev/null || fail "the game did not go on after the device box"
sleep 2
read -r x y z axis thrust < <(last)
[ "$thrust" = "0.000" ] || fail "thrust without a microphone: $thrust"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status without a device: $rc"
grep -q "^Exception: Cannot open device, Error [0-9a-f]*$" "$NB_TMP/nightbite.err" ||
    fail "no 'Cannot open device' text on standard error"
[ "$(grep -c '^Chyba - nevytvoreny audio device.$' "$NB_TMP/nightbite.err")" = 1 ] ||
    fail "no single output-device line on standard error"
echo "audio_flight: ok"
