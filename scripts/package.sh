#!/usr/bin/env bash
# Builds the Debian package from the Release build in build/ (set-up and build as for every other
# script), then CPack. Prints the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR="$BUILD_DIR" scripts/setup.sh >&2
(cd "$BUILD_DIR" && cpack -G DEB >&2)
ls -1 "$BUILD_DIR"/firnadesk_*.deb | tail -n 1 | xargs realpath
