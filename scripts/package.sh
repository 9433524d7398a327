#!/usr/bin/env bash
# Builds the Debian package: a Release build of the programs (tests and benchmarks left out) in
# build-release/, then CPack. Prints the path of the .deb. Set-up as for every other script.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
BUILD_DIR="$BUILD_DIR" scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DFIRNADESK_BUILD_TESTS=OFF \
  -DFIRNADESK_BUILD_BENCH=OFF >&2
(cd "$BUILD_DIR" && cpack -G DEB >&2)
ls -1 "$BUILD_DIR"/firnadesk_*.deb | tail -n 1 | xargs realpath
