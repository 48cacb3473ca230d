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

# 1. Start and quit.
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
add_frame_counter
start_program nightbite
wait_game_window > /dev/null || fail "no game window"
wait_frames 3 60
rc=$(quit_game 60)
check_clean "$rc" "start and quit"
echo "start and quit: clean"

# 2. A minute of play.
sox -n -r 22050 -c 1 -b 16 -e signed -t raw "$NB_TMP/tone.raw" synth 30 sine 2150 vol 0.3 pad 0 300
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILEIN="$NB_TMP/tone.raw" SDL_DISKAUDIOFILE=/dev/null
make_game_dir
cp "$NB_RUN_DIR"/Resources/Scripts/*.lua "$NB_GAME_DIR/Resources/Scripts/"
add_frame_counter
start_program nightbite
id=$(wait_game_window) || fail "no game window"
window_geometry "$id"
wander 60 keys || true
frames=$(frame_count)
rc=$(quit_game 60)
check_clean "$rc" "a minute of play"
echo "a minute of play ($frames frames): clean"
echo "sanitized_game: ok"
