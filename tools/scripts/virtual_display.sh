# Shell helpers for running the built game on a private virtual display, for
# the demo and the screenshot tool. Source it; it sets an EXIT trap that stops
# the display and the game and removes $vd_tmp.

vd_tmp=$(mktemp -d)
vd_xvfb=
game=
# Only processes of this shell are stopped: a number that has been freed may
# belong to somebody else's program by now.
vd_is_ours() {
    [ -n "$1" ] && [ "$(ps -o ppid= -p "$1" 2>/dev/null | tr -d ' ')" = "$$" ]
}
vd_cleanup() {
    vd_is_ours "$game" && { kill "$game" 2>/dev/null || true; }
    vd_is_ours "$vd_xvfb" && { kill "$vd_xvfb" 2>/dev/null || true; }
    rm -rf "$vd_tmp"
}
trap vd_cleanup EXIT
# A step that fails says which, rather than ending the script without a word.
trap 'echo "${BASH_SOURCE[0]##*/}: line $LINENO: failed: $BASH_COMMAND" >&2' ERR

# Polls a command until it succeeds; says what it waited for when the game
# ends first or the time runs out.
wait_for() {
    local what=$1 timeout=$2
    shift 2
    for _ in $(seq $((timeout * 5))); do
        "$@" && return 0
        if [ -n "$game" ] && ! kill -0 "$game" 2>/dev/null; then
            echo "The game ended while waiting for $what." >&2
            return 1
        fi
        sleep 0.2
    done
    echo "Timed out after ${timeout}s waiting for $what." >&2
    return 1
}

display_answers() { timeout 10 xwininfo -root > /dev/null 2>&1; }

# Starts Xvfb on a display number of its own and exports DISPLAY. The number
# is random rather than the lowest free one, whose socket a server that is
# just shutting down may still remove from under a new one. -noreset keeps the
# server from resetting whenever its last client leaves, which would drop a
# client connecting at that moment.
start_virtual_display() {
    local attempt
    for attempt in 1 2 3 4 5; do
        rm -f "$vd_tmp/display"
        exec 7> "$vd_tmp/display"
        Xvfb ":$((200 + RANDOM % 700))" -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp -noreset \
            >> "$vd_tmp/xvfb.log" 2>&1 &
        vd_xvfb=$!
        exec 7>&-
        for _ in $(seq 150); do
            [ -s "$vd_tmp/display" ] && break
            kill -0 "$vd_xvfb" 2>/dev/null || break
            sleep 0.2
        done
        if [ -s "$vd_tmp/display" ]; then
            export DISPLAY=":$(head -n 1 "$vd_tmp/display")"
            wait_for "the virtual display $DISPLAY to answer" 30 display_answers && return 0
        fi
        kill "$vd_xvfb" 2>/dev/null || true
        vd_xvfb=
    done
    echo "No virtual display could be started: $(tail -n 3 "$vd_tmp/xvfb.log")" >&2
    return 1
}

# Sets $window to the game window's id once it exists.
find_game_window() {
    local id
    id=$(xwininfo -root -tree 2>/dev/null | grep -F '"Nightbite"' | awk '{print $1}' | head -n 1) || true
    [ -n "$id" ] && window=$id
}

# Waits for the game's window, focuses it and sets $window, $wx and $wy.
wait_game_window() {
    window=
    wait_for "the game's window" 120 find_game_window
    xdotool windowfocus "$window" 2>/dev/null || true
    read -r wx wy < <(xwininfo -id "$window" |
        awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
}

# Ends the game with Escape (it saves on the way out), pressing again while a
# loaded machine misses the press; sets $status to its exit status.
quit_game() {
    game_gone() { ! kill -0 "$game" 2>/dev/null; }
    for _ in 1 2 3 4 5 6; do
        xdotool keydown Escape 2>/dev/null || true
        sleep 0.3
        xdotool keyup Escape 2>/dev/null || true
        wait_for "the game to end" 10 game_gone 2>/dev/null && break
    done
    game_gone || { echo "The game did not end after Escape." >&2; return 1; }
    status=0
    wait "$game" || status=$?
    game=
}
