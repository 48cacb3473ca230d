#!/usr/bin/env bash
# Choosing the microphone: the options of both programs, the player's settings
# file Resources/nightbite.cfg (hand-edited, remembered, kept), and names that
# match no device, which must never stop the game.
source "$(dirname "$0")/lib.sh" "$1"
make_game_dir
cfg="$NB_GAME_DIR/Resources/nightbite.cfg"
# The rendering loop is running once the fifth frame has been counted.
add_script frame_started <<LUA
frames = (frames or 0) + 1
if frames == 5 then local f = io.open("$NB_TMP/frames", "a"); f:write("5\n"); f:close() end
LUA

# Runs a program of the game folder in the foreground without a display, so
# that nothing here can start the engine or show a box. Sets rc, out and err.
run_plain() {
    (cd "$NB_GAME_DIR" && env -u DISPLAY "$@" > "$NB_TMP/plain.out" 2> "$NB_TMP/plain.err")
    rc=$?
    out=$(cat "$NB_TMP/plain.out")
    err=$(cat "$NB_TMP/plain.err")
}

# 1. Options of both programs; the device lists come from SDL's audio alone.
versions=
for program in nightbite nightbite_setup; do
    run_plain "./$program" --help
    [ "$rc" = 0 ] && [ -z "$err" ] || fail "$program --help: status $rc, stderr '$err'"
    grep -q "^Usage: $program .*--microphone NAME" <<< "$out" || fail "$program --help: '$out'"
    run_plain "./$program" --version
    [ "$rc" = 0 ] && grep -Eqx "$program [0-9]+\.[0-9]+" <<< "$out" ||
        fail "$program --version: status $rc, '$out'"
    versions="$versions ${out#* }"
    run_plain "./$program" --microphone X --frobnicate
    [ "$rc" = 2 ] && [ -z "$out" ] || fail "$program with an unknown option: status $rc, stdout '$out'"
    grep -q "unknown option --frobnicate" <<< "$err" && grep -q "^Usage: $program " <<< "$err" ||
        fail "$program with an unknown option: stderr '$err'"
    for driver in dummy disk; do
        SDL_AUDIODRIVER=$driver run_plain "./$program" --list-microphones
        [ "$rc" = 0 ] && [ "$out" = "System audio capture device" ] ||
            fail "$program --list-microphones under $driver: status $rc, '$out', '$err'"
    done
done
[ "$versions" = " 1.0 1.0" ] || fail "versions:$versions"
[ ! -e "$cfg" ] || fail "an option that only prints wrote the settings file"
mic="System audio capture device"

# 2. A hand-edited settings file with junk, a key of nobody's and a name in
# UTF-8 that no device has. The setup program refuses a name it cannot find
# and leaves the file alone.
printf '%s\n' '# edited by hand' 'this line means nothing' 'colour = blue' \
    'microphone = Mikrofón «Ω» 🦟' > "$cfg"
cp "$cfg" "$NB_TMP/cfg.orig"
run_plain ./nightbite_setup --microphone "No Such Mic"
[ "$rc" = 1 ] && [ "$err" = "No microphone named \"No Such Mic\"; found: \"$mic\"" ] ||
    fail "setup with an unknown name: status $rc, '$err'"
cmp -s "$cfg" "$NB_TMP/cfg.orig" || fail "setup changed the file for an unknown name"

# Starts the game with the given options, waits for its window and for the
# line expected on stderr (none when empty), ends it with Escape.
play() {
    local expect=$1
    shift
    rm -f "$NB_TMP/frames"
    start_program_args nightbite "$@"
    wait_game_window > /dev/null || fail "no game window (options: $*)"
    wait_lines "$NB_TMP/frames" 1 30 || fail "the game did not reach its fifth frame (options: $*)"
    if [ -n "$expect" ]; then
        wait_line "$NB_TMP/nightbite.err" "$expect" 30 || fail "no line '$expect' (options: $*)"
    fi
    local status; status=$(quit_game 30)
    [ "$status" = 0 ] || fail "exit status $status (options: $*)"
    grep -q "Exception" "$NB_TMP/nightbite.err" && fail "a failure box was shown (options: $*)"
    if [ -z "$expect" ]; then
        grep -q "No microphone" "$NB_TMP/nightbite.err" && fail "unexpected: $(cat "$NB_TMP/nightbite.err")"
    fi
    [ "$(grep -c "No microphone" "$NB_TMP/nightbite.err")" -le 1 ] || fail "the name was reported twice"
}

start_xvfb
# A wrong name on the command line wins over the file, gets one line, and the
# game runs without sound input; it is not remembered.
play "No microphone named \"No Such Mic\"; found: \"$mic\"" --microphone "No Such Mic"
cmp -s "$cfg" "$NB_TMP/cfg.orig" || fail "an unknown name was remembered"
# Without the option the file's name is the one asked for, byte for byte.
play "No microphone named \"Mikrofón «Ω» 🦟\"; found: \"$mic\""
cmp -s "$cfg" "$NB_TMP/cfg.orig" || fail "a plain start rewrote the settings file"

# 3. A name that opens is remembered, and the other lines stay as they were.
play "" --microphone "$mic"
printf '%s\n' '# edited by hand' 'this line means nothing' 'colour = blue' "microphone=$mic" |
    cmp -s - "$cfg" || fail "settings file after the choice: $(cat "$cfg")"
ls "$NB_GAME_DIR/Resources" | grep -q "nightbite.cfg." && fail "a temporary file was left behind"
# The next start uses it without being told.
play ""

# 4. The setup program brings the default back in the same file.
run_plain ./nightbite_setup --microphone=
[ "$rc" = 0 ] && [ -z "$err" ] || fail "setup --microphone=: status $rc, '$err'"
printf '%s\n' '# edited by hand' 'this line means nothing' 'colour = blue' "microphone=" |
    cmp -s - "$cfg" || fail "settings file after the setup program: $(cat "$cfg")"
echo "microphone_choice: ok"
