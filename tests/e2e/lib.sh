# Helpers for the end-to-end tests: a private X server, a private copy of the
# run folder, and ways to start, drive and stop the real programs.
# Usage: source lib.sh RUN_DIR (the build's run/ folder).
set -u

NB_RUN_DIR=$(cd "$1" && pwd)
NB_TMP=$(mktemp -d /tmp/nb_e2e.XXXXXX)
NB_XVFB_PID=
NB_GAME_PID=
# No test may touch a real sound device or wait on a "Cannot open device" box.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

nb_cleanup() {
    [ -n "$NB_GAME_PID" ] && { pkill -9 -P "$NB_GAME_PID" 2>/dev/null; kill -9 "$NB_GAME_PID" 2>/dev/null; }
    [ -n "$NB_XVFB_PID" ] && kill "$NB_XVFB_PID" 2>/dev/null
    rm -rf "$NB_TMP"
}
trap nb_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in "$NB_TMP"/*.out "$NB_TMP"/*.err; do
        [ -s "$f" ] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }
    done
    exit 1
}

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
    exec 7> "$NB_TMP/display"
    Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp > "$NB_TMP/xvfb.log" 2>&1 &
    NB_XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$NB_TMP/display" ] && break
        sleep 0.1
    done
    exec 7>&-
    [ -s "$NB_TMP/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$NB_TMP/display")"
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
    local timeout=${1:-20}
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
    local title=$1 timeout=${2:-20}
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
    local file=$1 n=$2 timeout=${3:-20}
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
    local id; id=$(wait_window "Rendering Settings" 20) || fail "no configuration dialog"
    read -r x y < <(window_origin "$id")
    xdotool mousemove $((x + 376)) $((y + 352)) click 1
}
dialog_accept() {
    local id; id=$(wait_window "Rendering Settings" 20) || fail "no configuration dialog"
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
    local id; id=$(wait_window "$1" "${2:-20}") || fail "no box \"$1\""
    sleep 0.3
    xdotool key --window "$id" Return
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

# Presses a key the way a person does. The game polls the keyboard once per
# frame, so a press and release closer together than one frame would never be
# seen down.
press_key() {
    xdotool keydown "$1"
    sleep "${2:-0.3}"
    xdotool keyup "$1"
}

# Sets wx, wy (top-left corner on the screen), ww and wh (size) of a window.
window_geometry() {
    read -r wx wy < <(window_origin "$1")
    ww=$(xwininfo -id "$1" | awk '/Width:/ {print $2}')
    wh=$(xwininfo -id "$1" | awk '/Height:/ {print $2}')
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
    local file=$1 text=$2 timeout=${3:-20}
    for _ in $(seq $((timeout * 10))); do
        [ -f "$file" ] && grep -qFx -- "$text" "$file" && return 0
        sleep 0.1
    done
    return 1
}
