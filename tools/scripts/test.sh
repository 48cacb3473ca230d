#!/usr/bin/env bash
# Installs what Nightbite needs, builds it with its tests, and runs the whole
# suite: every tier, then the pure and headless tiers and a run of the whole
# game again under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# audio threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/scripts/install-deps.sh
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2
# The long soak (label soak) is run by hand: ctest -L soak.
(cd build && ctest -j2 -LE soak --output-on-failure)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNB_SANITIZE=ON -DNB_BUILD_BENCH=OFF > /dev/null
cmake --build build-asan -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The game itself under the sanitizers (label sanitized): a start and quit and
# a minute of play.
(cd build-asan && ctest -j2 -L 'pure|headless|sanitized' --output-on-failure)

# The audio worker, the capture callback and a frame-loop reader under
# ThreadSanitizer.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DNB_TSAN=ON -DNB_BUILD_BENCH=OFF > /dev/null
cmake --build build-tsan -j2 --target nb_tests_audio_device
(cd build-tsan && ctest -L tsan --output-on-failure)
