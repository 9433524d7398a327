#!/usr/bin/env bash
# Runs the benchmarks (a few minutes in real time) and prints one table of figures. Set-up as for
# every other script; BUILD_DIR names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR="$BUILD_DIR" scripts/setup.sh >/dev/null
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
B="$BUILD_DIR/bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

row() { printf '| %-58s | %s |\n' "$1" "$2"; }
csv_field() {  # benchmark csv, name pattern, column number
  awk -F, -v pat="$2" -v col="$3" 'index($1, pat) { gsub(/"/, "", $col); print $col; exit }' "$1"
}

echo "== running the benchmarks (about five minutes)" >&2
"$B/bench_scenario_load" --benchmark_format=csv >"$work/load.csv" 2>/dev/null
"$B/bench_scanner" --benchmark_format=csv --benchmark_min_time=0.2 >"$work/scanner.csv" 2>/dev/null
"$B/bench_scan" --benchmark_format=csv --benchmark_filter='SweepPass/0' >"$work/scan.csv" 2>/dev/null
"$B/bench_memory_timing" >"$work/memory.txt" 2>/dev/null
"$B/bench_show_timing" >"$work/show.txt" 2>/dev/null
"$B/bench_window_cues" >"$work/window.txt" 2>/dev/null || true
"$B/bench_timecode" >"$work/timecode.txt" 2>/dev/null || true

# A scenario of 100 000 cues for the memory figure: ten consoles, 16 channels each.
awk 'BEGIN { for (i = 0; i < 100000; i++) printf "%d.%03d %d %d cue %d\n", i / 10, (i % 10) * 100, 1 + i % 10, 1 + (i / 10) % 16, i }' \
  >"$work/100k.txt"
/usr/bin/time -o "$work/rss_cli" -f '%M' "$BUILD_DIR/tools/cli/firnadesk-cli" check "$work/100k.txt" >/dev/null 2>&1 || true
rss_cli=$(tail -n 1 "$work/rss_cli")
# A show-design script of 1 000 000 rows (semicolons, decimal commas, quoted effects) for the import
# figure: the whole command, reading to the report of the scenario it wrote.
awk 'BEGIN { print "Event Time;Module;Pin;Effect"; for (i = 0; i < 1000000; i++) printf "%d,%03d;%d;%d;\"Peony %d; red\"\n", i / 10, (i % 10) * 100, 1 + i % 10, 1 + (i / 10) % 16, i }' \
  >"$work/1m.csv"
/usr/bin/time -o "$work/import_time" -f '%e %M' "$BUILD_DIR/tools/cli/firnadesk-cli" import "$work/1m.csv" -o "$work/1m.txt" \
  >/dev/null 2>&1 || true
read -r import_s import_kb <"$work/import_time" || true
rss_window=""
if "$BUILD_DIR/src/app/firnadesk" --help 2>&1 | grep -q -- '--scenario'; then
  QT_QPA_PLATFORM=offscreen /usr/bin/time -o "$work/rss_window" -f '%M' "$BUILD_DIR/src/app/firnadesk" --simulate \
    --scenario "$work/100k.txt" --quit-after 3000 >/dev/null 2>&1 || true
  rss_window=$(tail -n 1 "$work/rss_window")
fi

echo
echo "| figure | value |"
echo "|---|---|"
row "scenario load, 1 000 000 cues in time order" "$(csv_field "$work/load.csv" InTimeOrder 3) ms"
row "scenario load, 1 000 000 cues shuffled" "$(csv_field "$work/load.csv" Shuffled 3) ms"
row "frame scanner, bytes with a frame in every 7" "$(awk -F, 'index($1, "FramesInNoise/0") { printf "%.0f MB/s, %.1f M frames/s", $6 / 1e6, $11 / 1e6; exit }' "$work/scanner.csv")"
row "frame scanner, noise only" "$(awk -F, 'index($1, "NoiseOnly") { printf "%.0f MB/s", $6 / 1e6; exit }' "$work/scanner.csv")"
row "bus search, one pass over an empty bus (real time)" "$(csv_field "$work/scan.csv" SweepPass/0 3) s"
while read -r gen rest; do
  set -- $rest
  row "write, 64 records, firmware $gen (real / wire limit)" "$2 ms / $3 ms (x$4)"
  row "verify, 64 records, firmware $gen (real / wire limit)" "$5 ms / $6 ms (x$7)"
done < <(awk 'NR > 1 { print $1, $1, $(NF-5), $(NF-4), $(NF-3), $(NF-2), $(NF-1), $NF }' "$work/memory.txt")
row "isolated cues, lateness of the first fire frame" "$(grep '^isolated cues, first frame' "$work/show.txt" | sed -E 's/.*lateness //')"
row "isolated fire frames (repeats included), lateness" "$(grep '^isolated fire frames' "$work/show.txt" | sed -E 's/.*lateness //; s/ +\(target.*//')"
grep '^burst at' "$work/show.txt" | while read -r line; do
  row "$(sed -E 's/^(burst at +[0-9]+ ms).*/\1: completion \/ wire limit/' <<<"$line")" \
    "$(sed -E 's/.*done after ([0-9.]+) ms, wire limit ([0-9.]+) ms, ratio ([0-9.]+).*/\1 ms \/ \2 ms (x\3)/' <<<"$line")"
done
row "firnadesk-cli import of a 1 000 000-row script (time / peak RSS)" "${import_s:-?} s / $((${import_kb:-0} / 1024)) MB"
row "peak RSS, firnadesk-cli check of 100 000 cues" "$((rss_cli / 1024)) MB"
if [ -n "$rss_window" ]; then
  row "peak RSS, the console with 100 000 cues loaded" "$((rss_window / 1024)) MB"
fi
# cues, load ms, resident MB, peak MB, following the show in microseconds per cue
while read -r cues load resident peak follow; do
  row "the window with $cues cues: load and show / resident (peak)" "$load ms / $resident MB ($peak MB)"
  [ "$cues" = 0 ] || row "the window with $cues cues: following the show, per cue" "$follow us"
done < <(awk 'NR > 1 && $2 != "failed"' "$work/window.txt")
# name (32 columns) and figures, after bench_timecode's heading
while IFS= read -r line; do
  row "timecode: $(sed -E 's/ +$//' <<<"${line:0:32}")" "${line:33}"
done < <(tail -n +2 "$work/timecode.txt")
