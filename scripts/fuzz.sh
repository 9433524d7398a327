#!/usr/bin/env bash
# Fuzzing with clang's libFuzzer.
#   scripts/fuzz.sh --list            the targets
#   scripts/fuzz.sh TARGET SECONDS    builds (build-fuzz/) and runs one target for SECONDS
#                                     (0: no time limit)
# FUZZ_RUNS=N stops each process after N executions; FUZZ_WORKERS=K runs K processes side by side
# on the same corpus (their executions add up; the log shows each one's figures).
# Each target starts from its seed corpus in fuzz/corpus/TARGET (kept read-only: new inputs go
# to build-fuzz/corpus/TARGET) and stops at the first finding, leaving the input that caused it
# in build-fuzz/findings/ and exiting non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS=(scenario_loader bench_file bus_receive script_import csv_reader journal_reader timecode_chase)

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${TARGETS[@]}"
  exit 0
fi
target=${1:?usage: scripts/fuzz.sh --list | TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
if ! printf '%s\n' "${TARGETS[@]}" | grep -qx "$target"; then
  echo "fuzz: unknown target '$target' (scripts/fuzz.sh --list)" >&2
  exit 2
fi

scripts/setup.sh --packages-only >/dev/null  # the Debian packages of the build
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFIRNADESK_FUZZ=ON \
  -DFIRNADESK_BUILD_APP=OFF -DFIRNADESK_BUILD_TESTS=OFF -DFIRNADESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" -t "fuzz_$target" >/dev/null

corpus="$BUILD_DIR/corpus/$target"
findings="$BUILD_DIR/findings/$target"
mkdir -p "$corpus" "$findings"
echo "== fuzz_$target for $seconds s"
log="$BUILD_DIR/fuzz_$target.log"
options=(-max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 -artifact_prefix="$PWD/$findings/")
[ -n "${FUZZ_RUNS:-}" ] && options+=(-runs="$FUZZ_RUNS")
# The bus receive target takes at most 256 bytes (its first byte chooses the situation).
[ "$target" = bus_receive ] && options+=(-max_len=256)
workers=${FUZZ_WORKERS:-1}
[ "$workers" -gt 1 ] && options+=(-jobs="$workers" -workers="$workers")
rm -f "$BUILD_DIR"/fuzz-*.log
status=0
(cd "$BUILD_DIR" && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
  "fuzz/fuzz_$target" "${options[@]}" "corpus/$target" "../fuzz/corpus/$target") >"$log" 2>&1 || status=$?
grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)|(ERROR|SUMMARY):" "$log" || true
if [ "$status" -ne 0 ] || ls "$findings"/* >/dev/null 2>&1; then
  tail -n 40 "$log" >&2
  echo "fuzz: $target found a problem (exit $status): $(ls "$findings" 2>/dev/null)" >&2
  exit 1
fi
