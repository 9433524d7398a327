#!/usr/bin/env bash
# Set-up and build (Release), then every test: the whole suite (unit, window offscreen,
# end-to-end); the Debian package and its layout; the threaded tests of the engine, the bench, the
# player and the window again under ThreadSanitizer; every test but the end-to-end ones under
# AddressSanitizer and UndefinedBehaviorSanitizer; each fuzzing target for 30 seconds.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
step() { echo "== $1 (at $(( ($(date +%s) - start) / 60 )) min)"; }
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy

step "unit, window and end-to-end tests"
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300

step "the Debian package"
deb=$(scripts/package.sh)
scripts/check-package.sh "$deb"

step "threaded tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFIRNADESK_WERROR=ON -DFIRNADESK_TSAN=ON \
  -DFIRNADESK_BUILD_BENCH=OFF "-DFIRNADESK_TEST_AREAS=platform;bus;sim;show;app" >/dev/null
cmake --build build-tsan -j "$(nproc)" -t firnadesk_threaded_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(pwd)/scripts/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -L threads --timeout 300 --no-tests=error

step "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/run-asan.sh

step "fuzzing, 30 s a target"
for target in $(scripts/fuzz.sh --list); do
  scripts/fuzz.sh "$target" 30
done

echo "== all passed in $(( ($(date +%s) - start) / 60 )) min"
