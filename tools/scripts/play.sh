#!/usr/bin/env bash
# Installs what Nightbite needs, builds it, and starts the game from build/run.
# Without a display it plays a short unattended demo on a virtual display and
# leaves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2 --target nightbite nightbite_setup
cd build/run
# A first run goes straight to the street; nightbite_setup changes this later.
[ -e Resources/ogre.cfg ] || cp Resources/ogre.cfg.default Resources/ogre.cfg

if [ -n "${DISPLAY:-}" ]; then
    exec ./nightbite
fi

echo "No display: running a short demo on a virtual display."
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
tmp=$(mktemp -d)
exec 7> "$tmp/display"
Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp > "$tmp/xvfb.log" 2>&1 &
xvfb=$!
exec 7>&-
trap 'kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$tmp/display")"
./nightbite &
game=$!
window=root
for _ in $(seq 150); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F '"Nightbite"' | awk '{print $1}' | head -n 1)
    [ -n "$id" ] && { window=$id; break; }
    sleep 0.2
done
# Fly a little: cursor towards the top so the insect leans forward.
xdotool mousemove 640 200 2>/dev/null || true
sleep 5
shot="$(cd ../.. && pwd)/build/screenshot.png"
import -window "$window" "$shot"
xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
status=0
wait $game || status=$?
echo "Screenshot: $shot"
echo "The game ended with status $status."
exit $status
