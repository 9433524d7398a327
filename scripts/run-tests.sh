#!/usr/bin/env bash
# Set-up and build, then every test: the whole suite; the threaded tests of the engine and the bench
# again under ThreadSanitizer; the core's tests under AddressSanitizer and UndefinedBehaviorSanitizer;
# last a Release build from a clean folder, warnings fatal, so that what -O3 warns about is caught.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy

echo "== unit, window and end-to-end tests"
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300

echo "== engine tests under ThreadSanitizer"
BUILD_DIR=build-tsan scripts/setup.sh -DFIRNADESK_TSAN=ON -DFIRNADESK_BUILD_APP=OFF -DFIRNADESK_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug "-DFIRNADESK_TEST_AREAS=platform;bus;sim"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -L threads --timeout 300 --no-tests=error

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/run-asan.sh

echo "== Release build from a clean folder (what a packager builds)"
rm -rf build-release
BUILD_DIR=build-release scripts/setup.sh -DCMAKE_BUILD_TYPE=Release -DFIRNADESK_BUILD_TESTS=OFF \
  -DFIRNADESK_BUILD_BENCH=OFF
