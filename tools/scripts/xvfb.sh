# A private X server, shared by the end-to-end tests (tests/e2e/lib.sh) and
# the demo and screenshot tools (virtual_display.sh). Source it.

XVFB_PID=

# True while the process is one this shell started (its parent is this
# shell). A process that has ended frees its number, and with numbers only up
# to 32768 another program, such as a neighbouring test's X server, soon gets
# it: a plain kill of a remembered number once took down somebody else's
# display ("Couldn't open X display").
is_our_child() {
    [ -n "$1" ] && [ "$(ps -o ppid= -p "$1" 2>/dev/null | tr -d ' ')" = "$$" ]
}

# start_xvfb_in DIR SECONDS: starts Xvfb on a display of its own, logging to
# DIR/xvfb.log, waits up to SECONDS for it to come up and again for it to
# answer a client, then exports DISPLAY and sets XVFB_PID. Tries five times;
# returns 1 when none worked.
#  * The number is picked at random from a wide range rather than the lowest
#    free one: a server that is shutting down removes its socket file late,
#    and a new server that had just taken the same number became unreachable
#    halfway through ("Couldn't open X display :0").
#  * -noreset: by default the server resets whenever its last client leaves,
#    and every poll of a test or tool is a client that leaves; a reset drops a
#    client that connected in the meantime, such as the game starting just
#    then.
start_xvfb_in() {
    local dir=$1 seconds=$2 attempt tick
    for attempt in 1 2 3 4 5; do
        rm -f "$dir/display"
        exec 7> "$dir/display"
        Xvfb ":$((200 + RANDOM % 700))" -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp -noreset \
            >> "$dir/xvfb.log" 2>&1 &
        XVFB_PID=$!
        exec 7>&-
        for ((tick = 0; tick < seconds * 10; tick++)); do
            [ -s "$dir/display" ] && break
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -s "$dir/display" ]; then
            export DISPLAY=":$(head -n 1 "$dir/display")"
            for ((tick = 0; tick < seconds * 5; tick++)); do
                timeout 10 xwininfo -root > /dev/null 2>&1 && return 0
                kill -0 "$XVFB_PID" 2>/dev/null || break
                sleep 0.2
            done
            echo "Xvfb on $DISPLAY does not answer (attempt $attempt)" >> "$dir/xvfb.log"
        fi
        { kill "$XVFB_PID"; wait "$XVFB_PID"; } 2> /dev/null || true
        XVFB_PID=
    done
    return 1
}
