#!/usr/bin/env bash
# Without a stored configuration the game shows the engine's dialog, and a
# cancelled dialog ends it with status 0 before any window opens. The setup
# program stores the configuration when its dialog is accepted.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb

make_game_dir
rm "$NB_GAME_DIR/Resources/ogre.cfg"
start_program nightbite
dialog_cancel
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "game exit status after cancelling the dialog: $rc"
has_window Nightbite && fail "a game window opened although the dialog was cancelled"
[ "$(cat "$NB_TMP/nightbite.err")" = "Couldn't execute script save_game: script not found" ] ||
    fail "expected only the save_game line on standard error"
[ -e "$NB_GAME_DIR/Resources/ogre.cfg" ] && fail "cancelling wrote a configuration"

start_program nightbite_setup
dialog_accept
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "setup exit status after accepting: $rc"
grep -q "^Render System=OpenGL Rendering Subsystem" "$NB_GAME_DIR/Resources/ogre.cfg" ||
    fail "the setup program did not store the configuration"
[ -s "$NB_GAME_DIR/Resources/ogresetup.log" ] || fail "no setup log"

# The game now starts straight into its window with what setup stored.
start_program nightbite
wait_game_window > /dev/null || fail "the game did not open its window after setup"
rc=$(quit_game 20)
[ "$rc" = 0 ] || fail "game exit status: $rc"

# The setup program without its plug-in list: its own box, status 1.
rm "$NB_GAME_DIR/Resources/plugins.win.cfg"
start_program nightbite_setup
dismiss_box "An exception has occured!"
rc=$(wait_exit 20)
[ "$rc" = 1 ] || fail "setup exit status without a plug-in list: $rc"
grep -q "An exception has occured!: .*plugins.win.cfg" "$NB_TMP/nightbite_setup.err" ||
    fail "setup did not explain the missing plug-in list"
echo "shell_dialog: ok"
