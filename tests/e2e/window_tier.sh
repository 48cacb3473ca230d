#!/usr/bin/env bash
# Runs the test program that needs a real window on a private X server.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb
"$2" || fail "window tests failed"
echo "window_tier: ok"
