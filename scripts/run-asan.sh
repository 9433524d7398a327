#!/usr/bin/env bash
# Set-up, then the core's tests (everything below the window) built with AddressSanitizer and
# UndefinedBehaviorSanitizer: any leak, bad access or undefined behaviour fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build-asan scripts/setup.sh -DFIRNADESK_ASAN=ON -DFIRNADESK_BUILD_APP=OFF -DFIRNADESK_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug "-DFIRNADESK_TEST_AREAS=support;platform;bus;sim;devices;audio;show"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 300 --no-tests=error
