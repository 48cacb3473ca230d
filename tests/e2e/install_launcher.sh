#!/usr/bin/env bash
# An installed game runs for any user from any folder: the launcher makes the
# user's working folder, links the read-only media, writes the default
# configuration, and the game opens its window there.
source "$(dirname "$0")/lib.sh" "$1"
build_dir=$2
prefix="$NB_TMP/prefix"
cmake --install "$build_dir" --prefix "$prefix" > "$NB_TMP/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$NB_TMP/install.log")"
for f in bin/nightbite bin/nightbite_setup lib/nightbite/nightbite \
    share/applications/nightbite.desktop share/applications/nightbite_setup.desktop \
    share/icons/hicolor/256x256/apps/nightbite.png share/nightbite/Resources/plugins.win.cfg; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(identify -format %w "$prefix/share/icons/hicolor/256x256/apps/nightbite.png")" = 256 ] ||
    fail "the icon is not 256 pixels wide"
chmod -R a-w "$prefix/share/nightbite"

start_xvfb
export HOME="$NB_TMP/home" XDG_DATA_HOME=
mkdir -p "$HOME"
cd /
"$prefix/bin/nightbite" > "$NB_TMP/game.out" 2> "$NB_TMP/game.err" &
NB_GAME_PID=$!
NB_PROGRAM=none
wait_game_window > /dev/null || fail "the installed game did not open its window"
press_key Escape
for _ in $(seq 100); do kill -0 $NB_GAME_PID 2>/dev/null || break; sleep 0.2; done
wait $NB_GAME_PID
rc=$?
NB_GAME_PID=
chmod -R u+w "$prefix/share/nightbite"
[ "$rc" = 0 ] || fail "installed game exit status $rc"
work="$HOME/.local/share/nightbite/Resources"
[ -f "$work/ogre.cfg" ] || fail "no per-user ogre.cfg"
[ -s "$work/ogre.log" ] || fail "no per-user engine log"
[ -L "$work/media" ] || fail "the media are not linked"
echo "install_launcher: ok"
