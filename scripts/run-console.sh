#!/usr/bin/env bash
# Set-up and build, then the console's demo on the virtual bench: the program makes a one-minute
# sample show and plays it through the operator's whole path (search, channel tests, F2/F3, write,
# verify, F1, F5), saving a picture after each step; its last line tells how many cues fired.
# Without a display it runs under Xvfb, the pictures go to screenshots/ here, and it exits when the
# show is over with the demo's status; with a display the window stays open afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
# The demo needs only the console itself; the test command builds the tests.
BUILD_TARGETS=firnadesk scripts/setup.sh
APP=build/src/app/firnadesk
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$APP" --demo "$@"
fi
echo "== no display: running under Xvfb, pictures to $(pwd)/screenshots/"
exec xvfb-run -a -s "-screen 0 1280x800x24" "$APP" --demo --demo-shots screenshots --demo-exit "$@"
