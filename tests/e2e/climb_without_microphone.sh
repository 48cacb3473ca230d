#!/usr/bin/env bash
# Playing without a microphone. The insect starts level and on its heading
# before the mouse moves. Held, the left mouse button (or Shift) lifts it as a
# steady whistle does: the level climbs by the microphone's rule in steps of
# one capture buffer (4096 / 22050 s) of game time, while SDL's disk capture
# driver feeds silence. Released, the level falls by the same rule.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_silence "$NB_TMP/silence.raw"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/silence.raw" SDL_DISKAUDIOFILE=/dev/null
make_game_dir
add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
# Per frame: game time so far, thrust, height, and the orientation's nine
# numbers.
add_script frame_started <<LUA
game_time = (game_time or 0) + get_time_since_last_frame()
local o, p = get_player_orientation(), get_player_position()
local f = io.open("$NB_TMP/track", "a")
f:write(string.format("%.6f %.5f %.3f", game_time, get_player_thrust(), p[2]))
for i = 1, 9 do f:write(string.format(" %.6f", o[i])) end
f:write("\n")
f:close()
LUA
start_program nightbite
id=$(wait_game_window_still) || fail "no window titled Nightbite"

# 1. Thirty frames without a mouse movement: still the identity.
wait_lines "$NB_TMP/track" 30 30 || fail "waited 30 s for 30 frames of the track script"
read -r -a frame30 < <(sed -n 30p "$NB_TMP/track")
echo "orientation after 30 frames: ${frame30[*]:3}"
awk -v o="${frame30[*]:3}" 'BEGIN {
    n = split(o, m, " "); split("1 0 0 0 1 0 0 0 1", id, " ")
    for (i = 1; i <= 9; ++i) if (m[i] - id[i] > 1e-4 || id[i] - m[i] > 1e-4) exit 1
    exit n != 9 }' || fail "the insect turned before the mouse moved: ${frame30[*]:3}"

# 2. The left button held: full thrust through the rule's steps.
window_geometry "$id"
xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
held_from=$(wc -l < "$NB_TMP/track")
xdotool mousedown 1
wait_last "$NB_TMP/track" '$2 >= 1' 20 || { xdotool mouseup 1; fail "waited 20 s for thrust 1 with the left button held"; }
sleep 1
xdotool mouseup 1
wait_last "$NB_TMP/track" '$2 < 1' 10 || fail "waited 10 s for the thrust to fall after the release"
# Each change of the thrust, with the game time it happened at, up to the
# first fall.
tail -n +$((held_from + 1)) "$NB_TMP/track" |
    awk 'NR == 1 || $2 != last {print $1, $2, $3} {last = $2} $2 >= 1 {full = 1} full && $2 < 1 {exit}' \
    > "$NB_TMP/changes"
echo "thrust changes (game time, thrust, height):"; cat "$NB_TMP/changes"
# The longest frame while the button was held, in game time.
longest=$(tail -n +$((held_from + 1)) "$NB_TMP/track" |
    awk 'NR > 1 && $1 - t > m {m = $1 - t} {t = $1} END {printf "%.6f", m}')
# The rule's rises, 0.5 growing to 1.0 after five buffers, as thrust (level
# / 8), one per buffer of game time. A frame longer than a buffer takes
# several steps at once, so a value may be skipped, never reordered, and the
# time from the first rise seen to full is the buffers between them.
awk -v rule="0 0.0625 0.125 0.1875 0.25 0.3125 0.4375 0.5625 0.6875 0.8125 0.9375 1" -v longest="$longest" '
    BEGIN { n = split(rule, r, " ") }
    { for (i = 1; i <= n && (r[i] - $2 > 1e-6 || $2 - r[i] > 1e-6); ++i) {}
      if ($2 < 1 && NR > 1 && last_i == n) { fall = $2; next }
      if (i > n || i <= last_i) { print "thrust " $2 " is not the next of the rule'"'"'s steps"; exit 1 }
      if (NR == 2) { t0 = $1; i0 = i; y0 = $3 } if (i == n) { t1 = $1; y1 = $3 }
      last_i = i }
    END { if (last_i != n || fall == "") { print "no full thrust and fall"; exit 1 }
          want = (n - i0) * 4096 / 22050
          printf "first rise to full: %.3f s for %d buffers (%.3f s); first fall to %s\n", t1 - t0, n - i0, want, fall
          # A change is seen at the end of the frame it falls in, so each end
          # may be late by a frame: slow frames on a loaded machine.
          slack = 2 * longest > 0.4 ? 2 * longest : 0.4
          if (t1 - t0 - want > slack || want - (t1 - t0) > slack) exit 1
          # A frame of at most one buffer falls one step; a longer one may
          # take several.
          if (fall < 0.9 && longest <= 4096 / 22050) { print "the first fall was too deep"; exit 1 }
          if (y1 < y0 + 20) { print "no climb: height " y0 " to " y1; exit 1 } }' "$NB_TMP/changes" ||
    fail "the thrust did not follow the level rule while the button was held and released"

# 3. Shift does the same.
xdotool keydown Shift_R
wait_last "$NB_TMP/track" '$2 >= 1' 20 || { xdotool keyup Shift_R; fail "waited 20 s for thrust 1 with Shift held"; }
xdotool keyup Shift_R

rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "exit status $rc"
echo "climb_without_microphone: ok"
