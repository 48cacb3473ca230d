#!/usr/bin/env bash
# Every fatal start-up failure ends the same way: the engine's text on
# standard error (and in a box when there is a display), status 1, no hang,
# no crash, and no "save_game".
source "$(dirname "$0")/lib.sh" "$1"

expect_failure() {
    local what=$1 pattern=$2
    start_program nightbite
    local rc; rc=$(wait_exit 30)
    [ "$rc" = 1 ] || fail "$what: exit status $rc"
    grep -q "^An exception has occurred!: .*$pattern" "$NB_TMP/nightbite.err" ||
        fail "$what: no engine text matching '$pattern' on standard error"
    grep -q "save_game" "$NB_TMP/nightbite.err" && fail "$what: save_game was raised"
    return 0
}

# With no display at all, only standard error can tell.
unset DISPLAY
make_game_dir
expect_failure "no display" "X display"

rm -rf "$NB_GAME_DIR/Resources"
expect_failure "no Resources folder" "plugins.win.cfg"

make_game_dir
rm "$NB_GAME_DIR/Resources/plugins.win.cfg"
expect_failure "no plug-in list" "plugins.win.cfg"

# A plug-in list that cannot be read (a folder in its place: root reads any file).
mkdir "$NB_GAME_DIR/Resources/plugins.win.cfg"
expect_failure "unreadable plug-in list" "cannot be read"
rmdir "$NB_GAME_DIR/Resources/plugins.win.cfg"

grep -v RenderSystem_GL "$NB_RUN_DIR/Resources/plugins.win.cfg" > "$NB_GAME_DIR/Resources/plugins.win.cfg"
expect_failure "no render system" "render system"

echo "Plugin=Plugin_DoesNotExist" >> "$NB_GAME_DIR/Resources/plugins.win.cfg"
expect_failure "a plug-in that cannot be loaded" "Plugin_DoesNotExist"

# With a display: a resource location that does not exist shows the box.
start_xvfb
make_game_dir
printf '[General]\nFileSystem=Resources/no_such_folder\n' > "$NB_GAME_DIR/Resources/resources.cfg"
start_program nightbite
dismiss_box "An exception has occurred!"
rc=$(wait_exit 20)
[ "$rc" = 1 ] || fail "broken resources.cfg: exit status $rc"
grep -q "^An exception has occurred!: .*Exception: .*CloudySky" "$NB_TMP/nightbite.err" ||
    fail "broken resources.cfg: no engine text"
echo "shell_failures: ok"
