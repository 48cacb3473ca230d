# Helpers for the end-to-end tests: a private X server, a private copy of the
# run folder, and ways to start, drive and stop the real programs.
# Usage: source lib.sh RUN_DIR (the build's run/ folder).
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/scripts/xvfb.sh"

NB_RUN_DIR=$(cd "$1" && pwd)
NB_TMP=$(mktemp -d /tmp/nb_e2e.XXXXXX)
NB_GAME_PID=
# Every time limit below is multiplied by this: a loaded machine (a parallel
# test run, sanitizer builds) can be many times slower than an idle one.
NB_TIMEOUT_SCALE=${NB_TIMEOUT_SCALE:-3}
# No test may touch a real sound device or wait on a "Cannot open device" box.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

nb_cleanup() {
    if is_our_child "$NB_GAME_PID"; then
        pkill -9 -P "$NB_GAME_PID" 2>/dev/null
        kill -9 "$NB_GAME_PID" 2>/dev/null
    fi
    is_our_child "$XVFB_PID" && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$NB_TMP"
}
trap nb_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in "$NB_TMP"/*.out "$NB_TMP"/*.err "$NB_TMP"/xvfb.log; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }
    done
    exit 1
}

# Starts the test's X server (tools/scripts/xvfb.sh) and exports DISPLAY.
start_xvfb() {
    start_xvfb_in "$NB_TMP" $((10 * NB_TIMEOUT_SCALE)) ||
        fail "Xvfb did not start: $(tail -n 5 "$NB_TMP/xvfb.log")"
}

# Makes a private game folder: the built programs and media, fresh engine
# files, the default rendering configuration, and an empty Scripts folder.
# Prints nothing; the folder is $NB_GAME_DIR.
make_game_dir() {
    NB_GAME_DIR="$NB_TMP/game"
    rm -rf "$NB_GAME_DIR"
    mkdir -p "$NB_GAME_DIR/Resources/Scripts"
    ln -s "$NB_RUN_DIR/nightbite" "$NB_RUN_DIR/nightbite_setup" "$NB_GAME_DIR/"
    ln -s "$NB_RUN_DIR/Resources/media" "$NB_GAME_DIR/Resources/media"
    [ -d "$NB_RUN_DIR/Resources/sound" ] && ln -s "$NB_RUN_DIR/Resources/sound" "$NB_GAME_DIR/Resources/sound"
    cp "$NB_RUN_DIR/Resources/plugins.win.cfg" "$NB_RUN_DIR/Resources/resources.cfg" \
        "$NB_GAME_DIR/Resources/"
    cp "$NB_RUN_DIR/Resources/ogre.cfg.default" "$NB_GAME_DIR/Resources/ogre.cfg"
}

# Writes a test script: add_script NAME <<'LUA' ... LUA
add_script() {
    cat > "$NB_GAME_DIR/Resources/Scripts/$1.lua"
}

# Starts a program of the game folder in the background: start_program nightbite
# Its exit status lands in $NB_TMP/<program>.rc when it ends.
start_program() {
    rm -f "$NB_TMP/$1.rc"
    NB_PROGRAM=$1
    (cd "$NB_GAME_DIR" && "./$1" > "$NB_TMP/$1.out" 2> "$NB_TMP/$1.err"; echo $? > "$NB_TMP/$1.rc") &
    NB_GAME_PID=$!
}

# Waits for the program to end; prints its exit status, or "timeout".
wait_exit() {
    local timeout=$(( ${1:-20} * NB_TIMEOUT_SCALE ))
    for _ in $(seq $((timeout * 10))); do
        if [ -s "$NB_TMP/$NB_PROGRAM.rc" ]; then
            cat "$NB_TMP/$NB_PROGRAM.rc"
            return
        fi
        sleep 0.1
    done
    echo timeout
}

# Waits for a top-level window whose title matches exactly; prints its id.
wait_window() {
    local title=$1 timeout=$(( ${2:-20} * NB_TIMEOUT_SCALE ))
    for _ in $(seq $((timeout * 5))); do
        local id
        id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | head -n 1 | awk '{print $1}')
        [ -n "$id" ] && { echo "$id"; return 0; }
        [ -s "$NB_TMP/$NB_PROGRAM.rc" ] && return 1
        sleep 0.2
    done
    return 1
}

# True while a window of that exact title exists.
has_window() {
    xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\""
}

# Waits until a file exists and holds at least N lines.
wait_lines() {
    local file=$1 n=$2 timeout=$(( ${3:-20} * NB_TIMEOUT_SCALE ))
    for _ in $(seq $((timeout * 10))); do
        [ -f "$file" ] && [ "$(wc -l < "$file")" -ge "$n" ] && return 0
        sleep 0.1
    done
    return 1
}

# Saves a screenshot of the whole screen.
screenshot() {
    import -window root "$1" 2>/dev/null
}

# Number of distinct colours in an image.
colour_count() {
    convert "$1" -format %k info:
}

# Position of a window's top-left corner on the screen: "X Y".
window_origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}'
}

# The engine's configuration dialog ("Rendering Settings"): Cancel, or choose
# the OpenGL renderer and Accept.
dialog_cancel() {
    local id; id=$(wait_window "Rendering Settings" 20) || fail "waited for the configuration dialog; none appeared"
    read -r x y < <(window_origin "$id")
    xdotool mousemove $((x + 376)) $((y + 352)) click 1
}
dialog_accept() {
    local id; id=$(wait_window "Rendering Settings" 20) || fail "waited for the configuration dialog; none appeared"
    read -r x y < <(window_origin "$id")
    # The renderer menu selects on release, so press, move onto the item, release.
    xdotool mousemove $((x + 355)) $((y + 114)) mousedown 1
    sleep 0.5
    xdotool mousemove $((x + 326)) $((y + 130))
    sleep 0.2
    xdotool mousemove $((x + 326)) $((y + 134))
    sleep 0.2
    xdotool mouseup 1
    sleep 0.5
    xdotool mousemove $((x + 446)) $((y + 352)) click 1
}

# Dismisses a message box of the given caption with Return; fails if none shows.
dismiss_box() {
    local id; id=$(wait_window "$1" "${2:-20}") || fail "waited for a box \"$1\"; none appeared"
    # A box that is still being drawn can miss the key: press until it goes.
    for _ in $(seq 10); do
        xdotool key --window "$id" Return 2>/dev/null
        for _ in $(seq 20); do
            has_window "$1" || return 0
            sleep 0.1
        done
    done
    fail "the box \"$1\" did not go away on Return"
}

# Waits for the game's window and gives it the keyboard focus: with no window
# manager, keys otherwise go to whatever window the pointer is over. Prints
# the window's id.
wait_game_window() {
    local id; id=$(wait_window Nightbite "${1:-30}") || return 1
    xdotool windowfocus "$id" 2>/dev/null
    # Also put the pointer over it, so that the input library's own focus
    # handling agrees.
    read -r x y < <(window_origin "$id")
    xdotool mousemove $((x + 10)) $((y + 10)) 2>/dev/null
    echo "$id"
}

# Makes the game count its frames into $NB_TMP/frame_count, for wait_frames and
# press_key. Call it after the test has written its own frame_started script.
add_frame_counter() {
    cat >> "$NB_GAME_DIR/Resources/Scripts/frame_started.lua" <<LUA

nb_test_frames = (nb_test_frames or 0) + 1
local nb_f = io.open("$NB_TMP/frame_count", "w")
nb_f:write(nb_test_frames, "\n")
nb_f:close()
LUA
}

frame_count() {
    local n
    n=$(cat "$NB_TMP/frame_count" 2>/dev/null) || true
    echo "${n:-0}"
}

# Waits until the game has drawn N more frames (add_frame_counter first);
# fails the test, saying so, when it does not within the time limit or the
# game ends first.
wait_frames() {
    frames_or_exit "$@" || fail "the game ended while waiting for $1 frames"
}

# As wait_frames, but an ending game is no failure: returns 1 then.
frames_or_exit() {
    local n=$1 timeout=$(( ${2:-20} * NB_TIMEOUT_SCALE ))
    local target=$(( $(frame_count) + n ))
    for _ in $(seq $((timeout * 20))); do
        [ "$(frame_count)" -ge "$target" ] && return 0
        [ -n "${NB_PROGRAM:-}" ] && [ -s "$NB_TMP/$NB_PROGRAM.rc" ] && return 1
        sleep 0.05
    done
    fail "waited ${timeout}s for $n more frames; the game drew $(frame_count) in all"
}

# Presses a key the way a person does. The game polls the keyboard once per
# frame, so the key is held until the game has drawn a few frames (when it
# counts them) and for at least the given time.
press_key() {
    xdotool keydown "$1"
    sleep "${2:-0.3}"
    [ -f "$NB_TMP/frame_count" ] && frames_or_exit 3
    xdotool keyup "$1"
    [ -f "$NB_TMP/frame_count" ] && frames_or_exit 2
    return 0
}

# Waits for the game's window, sets wx, wy, ww and wh, and puts the cursor in
# its middle: no pitch, no bank, no turn.
centre_game_window() {
    local id
    id=$(wait_game_window) || fail "no window titled Nightbite"
    window_geometry "$id"
    xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
}

# Takes a picture of the game's window (window_geometry first), or of the
# part of it given as WxH+X+Y inside the window: window_shot NAME [PART].
# The picture is $NB_TMP/NAME.png.
window_shot() {
    local part=${2:-${ww}x${wh}+0+0}
    screenshot "$NB_TMP/full_$1.png"
    convert "$NB_TMP/full_$1.png" -crop ${ww}x${wh}+${wx}+${wy} +repage -crop "$part" +repage \
        "$NB_TMP/$1.png"
}

# Sets wx, wy (top-left corner on the screen), ww and wh (size) of a window.
window_geometry() {
    read -r wx wy < <(window_origin "$1")
    ww=$(xwininfo -id "$1" | awk '/Width:/ {print $2}')
    wh=$(xwininfo -id "$1" | awk '/Height:/ {print $2}')
}

# Waits for the game's window and gives it the keyboard focus without moving
# the pointer, for tests of what the game does before the mouse moves. Prints
# the window's id.
wait_game_window_still() {
    local id; id=$(wait_window Nightbite "${1:-30}") || return 1
    xdotool windowfocus "$id" 2>/dev/null
    echo "$id"
}

# The microphone hears a quiet room through SDL's disk driver. The dummy
# driver's digital silence brings up the display's muted-microphone line
# after ten seconds of it, at the bottom left, and a test on a slow machine
# can take longer than that between two pictures.
hear_quiet_room() {
    sox -n -r 22050 -c 1 -b 16 -e signed "$NB_TMP/room.raw" synth 600 whitenoise vol 0.002 ||
        fail "sox could not make the room's noise"
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/room.raw" SDL_DISKAUDIOFILE=/dev/null
}

# Writes a second of silence per second of capture for SDL's disk driver.
make_silence() {
    head -c $((22050 * 2 * ${2:-60})) /dev/zero > "$1"
}

# Mean of an expression over a region of an image, 0..1:
# region_mean IMAGE WxH+X+Y [FX-EXPRESSION]
region_mean() {
    convert "$1" -crop "$2" +repage -fx "${3:-(r+g+b)/3}" -format '%[fx:mean]' info:
}

# Waits until the last line of a file satisfies an awk condition on its fields:
# wait_last FILE 'AWK-CONDITION' [TIMEOUT]. A file caught empty, as one that
# the game rewrites every frame can be, satisfies nothing.
wait_last() {
    local file=$1 cond=$2 timeout=$(( ${3:-30} * NB_TIMEOUT_SCALE ))
    for _ in $(seq $((timeout * 10))); do
        tail -n 1 "$file" 2>/dev/null | awk "{found = ($cond)} END {exit !found}" && return 0
        sleep 0.1
    done
    return 1
}

# Like start_program, with arguments: start_program_args nightbite --microphone X
start_program_args() {
    local program=$1
    shift
    rm -f "$NB_TMP/$program.rc"
    NB_PROGRAM=$program
    (cd "$NB_GAME_DIR" && "./$program" "$@" > "$NB_TMP/$program.out" 2> "$NB_TMP/$program.err"
     echo $? > "$NB_TMP/$program.rc") &
    NB_GAME_PID=$!
}

# Waits until a file holds a line exactly equal to the text.
wait_line() {
    local file=$1 text=$2 timeout=$(( ${3:-20} * NB_TIMEOUT_SCALE ))
    for _ in $(seq $((timeout * 10))); do
        [ -f "$file" ] && grep -qFx -- "$text" "$file" && return 0
        sleep 0.1
    done
    return 1
}

# Ends the game with Escape (or the key given second) and prints its exit
# status (or "timeout"). A loaded machine can miss one press between two slow
# frames, so the key is pressed again while the game still runs.
quit_game() {
    local timeout=$(( ${1:-20} * NB_TIMEOUT_SCALE )) key=${2:-Escape}
    local waited=0
    while [ "$waited" -lt "$timeout" ]; do
        [ -s "$NB_TMP/$NB_PROGRAM.rc" ] && break
        press_key "$key" > /dev/null 2>&1
        for _ in $(seq 50); do
            [ -s "$NB_TMP/$NB_PROGRAM.rc" ] && break
            sleep 0.1
        done
        waited=$((waited + 5))
    done
    NB_TIMEOUT_SCALE=1 wait_exit 1
}

# Plays for the given seconds of wall time as a restless player would: the
# cursor wanders over the game window (window_geometry first) in a fixed
# pattern, and with "keys" F1, F2 and F5 come in turn every 20 s. Returns 1 as
# soon as the game has ended.
wander() {
    local seconds=$1 keys=${2:-} start step=0
    start=$(date +%s)
    while [ $(($(date +%s) - start)) -lt "$seconds" ]; do
        [ -s "$NB_TMP/$NB_PROGRAM.rc" ] && return 1
        xdotool mousemove $((wx + ww / 2 + (step % 7 - 3) * ww / 8)) $((wy + wh / 2 + (step % 5 - 2) * wh / 6))
        if [ -n "$keys" ]; then
            case $((step % 40)) in
                10) xdotool key F1 ;;
                20) xdotool key F2 ;;
                30) xdotool key F5 ;;
            esac
        fi
        step=$((step + 1))
        sleep 0.5
    done
}
