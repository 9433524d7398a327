#!/usr/bin/env bash
# Set-up, then every test of the core and of the window (offscreen) built with AddressSanitizer and
# UndefinedBehaviorSanitizer: any leak, bad access or undefined behaviour fails the run. The
# end-to-end tests, which run the same code again through the programs in real time, are left out.
# Leaks inside the system's own libraries (the D-Bus client, fontconfig) are kept out by
# scripts/asan.supp, which names nothing of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build-asan scripts/setup.sh -DFIRNADESK_ASAN=ON -DFIRNADESK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
  "-DFIRNADESK_TEST_AREAS=support;platform;bus;sim;devices;audio;show;app"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$(pwd)/scripts/asan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600 --no-tests=error
