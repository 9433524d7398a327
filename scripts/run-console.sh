#!/usr/bin/env bash
# Set-up and build, then the console on the virtual bench. Without a display the window runs under
# Xvfb, a screenshot is saved to firnadesk-screenshot.png and the program exits after a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
APP=build/src/app/firnadesk
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$APP" --simulate "$@"
fi
echo "== no display: running under Xvfb, screenshot to $(pwd)/firnadesk-screenshot.png"
exec xvfb-run -a -s "-screen 0 1280x800x24" "$APP" --simulate --screenshot firnadesk-screenshot.png --quit-after 5000 "$@"
