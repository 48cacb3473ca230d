# Shell helpers for running the built game on a private virtual display, for
# the demo and the screenshot tool. Source it; it sets an EXIT trap that stops
# the display and the game and removes $vd_tmp.

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
vd_tmp=$(mktemp -d)
game=
# Only processes of this shell are stopped: a number that has been freed may
# belong to somebody else's program by now.
vd_cleanup() {
    is_our_child "$game" && { kill "$game" 2>/dev/null || true; }
    is_our_child "$XVFB_PID" && { kill "$XVFB_PID" 2>/dev/null || true; }
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

# Starts the virtual display (xvfb.sh) and exports DISPLAY.
start_virtual_display() {
    start_xvfb_in "$vd_tmp" 30 && return 0
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
