#!/usr/bin/env bash
# The pause and its settings screen, through the real window at 800x600, with
# two microphones of SDL's disk driver fed from pipes: A, the driver's own
# device, with a whistle-like tone, and B, a pipe named on the command line,
# with silence. P pauses: the frame script stops and the pointer may leave
# the window. On the screen the microphone goes from B to A, the sensitivity
# goes up and is measured, both volumes go to 0 (the mix written by the
# driver turns silent), full screen goes on with F11 and off with Alt+Enter,
# and a click on Resume grabs the centred pointer again; the tone of A then
# lifts the insect. Last, A's pipe stops and starts again: the microphone is
# lost, found again and reopened, and the game quits while it is stalled.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
make_game_dir
sed -i 's/^Video Mode=.*/Video Mode=800 x 600/' "$NB_GAME_DIR/Resources/ogre.cfg"
cfg="$NB_GAME_DIR/Resources/nightbite.cfg"

# The pipes, each fed by a writer that holds it open for reading too, so
# that it never blocks on its opening and never ends when the game closes
# it. A writer pauses while its stop file exists: the pipe stalls.
sox -n -r 22050 -c 1 -b 16 -e signed "$NB_TMP/tone.raw" synth 1 sine 2000 || fail "sox failed"
head -c 44100 /dev/zero > "$NB_TMP/silence.raw"
writers=
feed() {
    mkfifo "$NB_TMP/$1.fifo"
    (exec 3<> "$NB_TMP/$1.fifo"
     while :; do
         if [ -e "$NB_TMP/$1.stop" ]; then sleep 0.05; else cat "$NB_TMP/$2.raw" >&3; fi
     done) > /dev/null 2>&1 &
    writers="$writers $!"
}
feed A tone
feed B silence
trap 'for w in $writers; do is_our_child "$w" && kill "$w"; done; nb_cleanup' EXIT
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/A.fifo" SDL_DISKAUDIOFILE="$NB_TMP/mix.raw"
A="System audio capture device" B="$NB_TMP/B.fifo"

add_script new_game <<'LUA'
create_world_object("ground", "ground.mesh")
LUA
add_script frame_started <<LUA
local f = io.open("$NB_TMP/track", "a")
f:write(string.format("%.5f\n", get_player_thrust()))
f:close()
LUA
add_frame_counter
start_program_args nightbite --microphone "$B"
id=$(wait_game_window) || fail "no game window"
window_geometry "$id"
wait_frames 20

# Where the pause screen's controls are: the panel is 700x556 in the middle.
at() { # at X Y: clicks at that point of the panel
    xdotool mousemove $((wx + ww / 2 - 350 + $1)) $((wy + wh / 2 - 278 + $2)) click 1
}
setting() { grep "^$1=" "$cfg" 2>/dev/null | tail -n 1 | cut -d= -f2-; }
wait_setting() { # wait_setting KEY VALUE WHAT
    for _ in $(seq $((100 * NB_TIMEOUT_SCALE))); do
        [ "$(setting "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    fail "$3: $1 is '$(setting "$1")', not '$2'"
}
# The Rescan button's colour, beside its text: the screen is up.
screen_up() {
    window_shot "$1"
    region_mean "$NB_TMP/$1.png" 20x20+$((ww / 2 - 350 + 564))+$((wh / 2 - 278 + 120)) \
        'abs(r - 0.22) < 0.04 && abs(g - 0.26) < 0.04 && abs(b - 0.4) < 0.04 ? 1 : 0'
}
wait_screen() { # wait_screen NAME up|down
    for _ in $(seq $((50 * NB_TIMEOUT_SCALE))); do
        share=$(screen_up "$1")
        [ "$2" = up ] && awk -v s="$share" 'BEGIN {exit !(s > 0.9)}' && return 0
        [ "$2" = down ] && awk -v s="$share" 'BEGIN {exit !(s < 0.1)}' && return 0
        sleep 0.2
    done
    fail "the pause screen is not $2 ($1: $share)"
}
mix_silent() { # the last second of the mix is all zeros
    [ "$(tail -c 176400 "$NB_TMP/mix.raw" | tr -d '\0' | wc -c)" = 0 ]
}

# 1. P pauses: the screen shows, the frame script stops, the pointer is free.
xdotool key p
wait_screen paused_800x600 up
frames=$(frame_count)
xdotool mousemove 1100 900
read -r px py < <(xdotool getmouselocation | sed 's/x:\([0-9]*\) y:\([0-9]*\).*/\1 \2/')
[ "$px $py" = "1100 900" ] || fail "the pointer is held in the window while paused: $px $py"

# 2. The microphone: from B (chosen on the command line) to A, with a click.
at 130 $((148 + 24 + 12))
wait_setting microphone "$A" "choosing A"

# 3. The sensitivity: three steps up, then measured with A's tone, which is
# far above the range: the bar goes to the top of it.
for _ in 1 2 3; do at 364 346; done
wait_setting sensitivity -54 "three steps up"
at 550 346
wait_setting sensitivity -20 "the room measured with A's tone"
# And down again with the keyboard: Up from the measure to the sensitivity,
# Left twenty times.
xdotool key Up
for _ in $(seq 20); do xdotool key Left; done
wait_setting sensitivity -60 "twenty steps down"

# 4. The volumes: the ambience with clicks, the effects with the keyboard;
# the mix the driver writes turns silent.
mix_silent && fail "the mix is silent before the volumes were lowered"
for _ in $(seq 10); do at 216 404; done
wait_setting ambience_volume 0 "the ambience down"
xdotool key Down
for _ in $(seq 10); do xdotool key Left; done
wait_setting effects_volume 0 "the effects down"
for _ in $(seq $((100 * NB_TIMEOUT_SCALE))); do mix_silent && break; sleep 0.1; done
mix_silent || fail "the mix is not silent with both volumes at 0"

# 5. Full screen: F11 on, Alt+Enter off; the screen keeps its place.
xdotool key F11
wait_setting full_screen yes "F11"
for _ in $(seq 50); do window_geometry "$id"; [ "$ww" = 1280 ] && break; sleep 0.2; done
[ "${ww}x$wh+$wx+$wy" = "1280x1024+0+0" ] || fail "full screen: ${ww}x$wh+$wx+$wy"
wait_screen paused_full_screen up
xdotool key alt+Return
wait_setting full_screen no "Alt+Enter"
for _ in $(seq 50); do window_geometry "$id"; [ "$ww" = 800 ] && break; sleep 0.2; done
[ "${ww}x$wh" = "800x600" ] || fail "back from full screen: ${ww}x$wh"
wait_screen paused_again up
[ "$(frame_count)" = "$frames" ] || fail "the frame script ran while paused: $frames, then $(frame_count)"

# 6. Resume with a click: the pointer is held and centred, the game runs,
# and A's tone lifts the insect.
at 595 28
wait_frames 10
read -r px py < <(xdotool getmouselocation | sed 's/x:\([0-9]*\) y:\([0-9]*\).*/\1 \2/')
[ "$px $py" = "$((wx + ww / 2)) $((wy + wh / 2))" ] || fail "the pointer is not centred on resuming: $px $py"
wait_screen playing down
xdotool mousemove 1100 900
read -r px py < <(xdotool getmouselocation | sed 's/x:\([0-9]*\) y:\([0-9]*\).*/\1 \2/')
[ "$px" -lt $((wx + ww)) ] && [ "$py" -lt $((wy + wh)) ] || fail "the pointer left the window in play: $px $py"
wait_last "$NB_TMP/track" '$1 >= 1' 30 || fail "A's tone did not lift the insect"

# 7. A's pipe stalls: the microphone is lost and the line says so; the pipe
# flows again: it is reopened and the line goes.
line_yellow() {
    window_shot "$1"
    region_mean "$NB_TMP/$1.png" 480x22+20+$((wh - 37)) 'r > 0.7 && g > 0.6 && b < 0.45 ? 1 : 0'
}
touch "$NB_TMP/A.stop"
wait_line "$NB_TMP/nightbite.err" \
    "The microphone \"$A\" stopped delivering sound; going on without sound input" 30 ||
    fail "the stalled microphone was not reported"
wait_frames 5
awk -v y="$(line_yellow lost)" 'BEGIN {exit !(y > 0.05)}' || fail "no no-microphone line once lost"
rm "$NB_TMP/A.stop"
wait_line "$NB_TMP/nightbite.err" "The microphone \"$A\" is back" 30 || fail "the microphone was not reopened"
wait_frames 5
awk -v y="$(line_yellow back)" 'BEGIN {exit !(y < 0.01)}' || fail "the no-microphone line stayed"
wait_last "$NB_TMP/track" '$1 >= 1' 30 || fail "the reopened microphone does not lift the insect"

# 8. Stalled again, Escape still ends the game.
touch "$NB_TMP/A.stop"
for _ in $(seq $((100 * NB_TIMEOUT_SCALE))); do
    [ "$(grep -c "stopped delivering" "$NB_TMP/nightbite.err")" -ge 2 ] && break
    sleep 0.1
done
[ "$(grep -c "stopped delivering" "$NB_TMP/nightbite.err")" -ge 2 ] || fail "the second stall was not reported"
rc=$(quit_game 10)
[ "$rc" = 0 ] || fail "exit status $rc with a stalled microphone"
[ -n "${NB_KEEP_SHOTS:-}" ] && cp "$NB_TMP"/paused_*.png "$NB_KEEP_SHOTS/"
echo "pause_screen: ok"
