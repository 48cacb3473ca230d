#!/usr/bin/env bash
# The game itself built with AddressSanitizer and UndefinedBehaviorSanitizer:
# one start and quit, then a minute of play with the game's own scripts (a
# tone through SDL's disk capture driver, the cursor moving about, a few
# keys). Both must end with status 0 and no sanitizer report.
# Usage: sanitized_game.sh RUN_DIR SUPPRESSIONS
source "$(dirname "$0")/lib.sh" "$1"
suppressions=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
[ -f "$suppressions" ] || fail "no suppressions file $2"
# Every check is on; the only findings suppressed are third-party leaks, each
# named with its reason in the suppressions file.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=86"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A sanitized game under a software renderer is many times slower.
NB_TIMEOUT_SCALE=$((NB_TIMEOUT_SCALE * 3))
start_xvfb

check_clean() {
    local rc=$1 what=$2
    if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$NB_TMP/nightbite.err"; then
        grep -E -A30 "ERROR: (Address|Leak)Sanitizer|runtime error:" "$NB_TMP/nightbite.err" | head -n 60 >&2
        fail "$what: sanitizer report"
    fi
    [ "$rc" = 0 ] || fail "$what: exit status $rc"
}

# LeakSanitizer's own tracer can crash while it stops the threads for the
# leak check at exit ("LeakSanitizer has encountered a fatal error", and no
# report): a fault of the tool, not of the game. A run that ends so, with no
# sanitizer report, is played once more; a report fails at once.
leak_check_broke() {
    grep -q "LeakSanitizer has encountered a fatal error" "$NB_TMP/nightbite.err" &&
        ! grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$NB_TMP/nightbite.err"
}

# Runs a step (a function that sets rc), once more if the leak check broke.
run_step() {
    local what=$1 step=$2
    $step
    if [ "$rc" != 0 ] && leak_check_broke; then
        echo "$what: the leak checker itself failed at exit; once more"
        $step
    fi
    check_clean "$rc" "$what"
}

# 1. Start and quit.
start_and_quit() {
    make_game_dir
    cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
    add_frame_counter
    start_program nightbite
    wait_game_window > /dev/null || fail "no game window"
    wait_frames 3 60
    rc=$(quit_game 60)
}
run_step "start and quit" start_and_quit
echo "start and quit: clean"

# 2. A minute of play.
sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$NB_TMP/tone.raw" synth 30 sine 2150 vol 0.3 pad 0 300
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/tone.raw" SDL_DISKAUDIOFILE=/dev/null
a_minute_of_play() {
    make_game_dir
    cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
    add_frame_counter
    start_program nightbite
    id=$(wait_game_window) || fail "no game window"
    window_geometry "$id"
    wander 60 keys || true
    frames=$(frame_count)
    rc=$(quit_game 60)
}
run_step "a minute of play" a_minute_of_play
echo "a minute of play ($frames frames): clean"
echo "sanitized_game: ok"
