#!/usr/bin/env bash
# The play command's path for a machine with no display: the unattended demo,
# run from a copy of the built game folder. It ends with status 0, leaves a
# screenshot of the street, and the insect was in the air when it ended (the
# game saves its position on the way out).
source "$(dirname "$0")/lib.sh" "$1"
demo="$(dirname "$0")/../../tools/scripts/demo.sh"

cp -rL "$NB_RUN_DIR" "$NB_TMP/run"
rm -f "$NB_TMP/run/Resources/ogre.cfg" "$NB_TMP/run/Resources/test.sav"
(unset DISPLAY; bash "$demo" "$NB_TMP/run" "$NB_TMP/shot.png" > "$NB_TMP/demo.out" 2> "$NB_TMP/demo.err")
rc=$?
[ "$rc" = 0 ] || fail "the demo ended with status $rc"
[ -s "$NB_TMP/shot.png" ] || fail "the demo left no screenshot"
[ "$(colour_count "$NB_TMP/shot.png")" -gt 100 ] || fail "the screenshot is nearly blank"
read -r _ x y z < <(grep '^position ' "$NB_TMP/run/Resources/test.sav") ||
    fail "the game saved no position on the way out"
awk -v y="$y" 'BEGIN { exit !(y > 40) }' || fail "the insect was not in the air at the end: y = $y"
echo "play_demo: ok (insect at height $y)"
