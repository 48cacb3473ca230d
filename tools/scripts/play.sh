#!/usr/bin/env bash
# Installs what Nightbite needs, builds it, and starts the game from build/run.
# Without a display it plays a short unattended demo on a virtual display and
# leaves a screenshot in build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2 --target nightbite nightbite_setup
# A first run goes straight to the street; nightbite_setup changes this later.
[ -e build/run/Resources/ogre.cfg ] || cp build/run/Resources/ogre.cfg.default build/run/Resources/ogre.cfg

if [ -n "${DISPLAY:-}" ]; then
    cd build/run
    exec ./nightbite "$@"
fi

echo "No display: running a short demo on a virtual display."
exec bash tools/scripts/demo.sh build/run "$PWD/build/screenshot.png"
