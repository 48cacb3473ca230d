#!/usr/bin/env bash
# An installed game runs for any user from any folder, both as `cmake
# --install` puts it under a prefix and as the Debian package unpacks it: the
# launcher makes the user's working folder, links the read-only media, writes
# the default configuration, and the game opens its window there.
source "$(dirname "$0")/lib.sh" "$1"
build_dir=$2
start_xvfb

# Checks the installed files under $1 (a prefix) and plays a first start as a
# fresh user ($2 names the case for the messages).
check_installed() {
    local prefix=$1 case=$2
    for f in bin/nightbite bin/nightbite_setup lib/nightbite/nightbite lib/nightbite/nightbite_setup \
        share/applications/nightbite.desktop share/applications/nightbite_setup.desktop \
        share/icons/hicolor/256x256/apps/nightbite.png share/nightbite/Resources/plugins.win.cfg \
        share/nightbite/Resources/media/komar_nic.mesh share/nightbite/Resources/Scripts/new_game.lua; do
        [ -e "$prefix/$f" ] || fail "$case: not installed: $f"
    done
    [ "$(identify -format %w "$prefix/share/icons/hicolor/256x256/apps/nightbite.png")" = 256 ] ||
        fail "$case: the icon is not 256 pixels wide"
    chmod -R a-w "$prefix/share/nightbite"

    export HOME="$NB_TMP/home_$case" XDG_DATA_HOME=
    mkdir -p "$HOME"
    (cd / && "$prefix/bin/nightbite" > "$NB_TMP/$case.out" 2> "$NB_TMP/$case.err"; echo $? > "$NB_TMP/$case.rc") &
    NB_GAME_PID=$!
    NB_PROGRAM=$case
    wait_game_window > /dev/null || fail "$case: the installed game did not open its window"
    local rc; rc=$(quit_game 20)
    NB_GAME_PID=
    chmod -R u+w "$prefix/share/nightbite"
    [ "$rc" = 0 ] || fail "$case: installed game exit status $rc"
    local work="$HOME/.local/share/nightbite/Resources"
    [ -f "$work/ogre.cfg" ] || fail "$case: no per-user ogre.cfg"
    [ -s "$work/ogre.log" ] || fail "$case: no per-user engine log"
    [ -L "$work/media" ] || fail "$case: the media are not linked"
    [ -s "$work/test.sav" ] || fail "$case: the game did not save in the user's folder"
}

prefix="$NB_TMP/prefix"
cmake --install "$build_dir" --prefix "$prefix" > "$NB_TMP/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$NB_TMP/install.log")"
check_installed "$prefix" install

# The Debian package: its dependencies, its files, and the unpacked game.
(cd "$build_dir" && cpack -G DEB -B "$NB_TMP/deb") > "$NB_TMP/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 5 "$NB_TMP/cpack.log")"
deb=$(ls "$NB_TMP"/deb/nightbite_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no .deb"
info=$(dpkg-deb --info "$deb")
for dep in libogre1.12.10 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libois liblua5.1-0 libc6; do
    grep -q "^ Depends:.*$dep" <<< "$info" || fail "the package does not depend on $dep: $(grep Depends <<< "$info")"
done
contents=$(dpkg-deb --contents "$deb")
for f in ./usr/bin/nightbite ./usr/lib/nightbite/nightbite ./usr/share/applications/nightbite.desktop \
    ./usr/share/icons/hicolor/256x256/apps/nightbite.png ./usr/share/nightbite/Resources/Scripts/new_game.lua; do
    grep -q " $f\$\| $f -> " <<< "$contents" || fail "the package lacks $f"
done
dpkg -x "$deb" "$NB_TMP/root" || fail "dpkg -x failed"
check_installed "$NB_TMP/root/usr" package
echo "install_launcher: ok ($(basename "$deb"), $(du -k "$deb" | cut -f1) KiB)"
