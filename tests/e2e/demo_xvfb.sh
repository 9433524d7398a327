#!/usr/bin/env bash
# firnadesk --demo under Xvfb, as scripts/run-console.sh runs it without a display: the program
# plays its sample show through the whole operator's path on the in-process bench and must say, on
# its last line, that every cue fired and nothing else did; a picture of each step must be there.
#
# usage: demo_xvfb.sh FIRNADESK [KEEP_SHOTS_DIR]
set -uo pipefail
command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is missing"; exit 77; }
program=$1 keep=${2:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- stdout:" >&2
  cat "$work/out" >&2
  echo "--- stderr:" >&2
  tail -n 40 "$work/err" >&2
  exit 1
}

# Other runs may start an X server at the same moment: begin at a display number of our own.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x800x24" \
  "$program" --demo --demo-shots "$work/shots" --demo-exit >"$work/out" 2>"$work/err"
status=$?
[ -z "$keep" ] || { mkdir -p "$keep" && cp "$work"/shots/*.png "$keep"/ 2>/dev/null; }

last=$(tail -n 1 "$work/out")
echo "last line: $last"
[[ "$last" =~ ^demo:\ fired\ ([0-9]+)\ of\ ([0-9]+)\ cues,\ ([0-9]+)\ unplanned$ ]] || fail "the last line is not the result"
fired=${BASH_REMATCH[1]} planned=${BASH_REMATCH[2]} unplanned=${BASH_REMATCH[3]}
[ "$planned" -ge 30 ] || fail "the sample show has only $planned cues"
[ "$fired" -eq "$planned" ] || fail "$((planned - fired)) of $planned cues did not fire"
[ "$unplanned" -eq 0 ] || fail "$unplanned firings no cue asked for"
[ "$status" -eq 0 ] || fail "exit status $status after a clean show"

for shot in 01-start 02-search 03-test-all 04-scenario 05-write 06-verify 07-ready 08-show 09-end; do
  file="$work/shots/$shot.png"
  [ -s "$file" ] || fail "no picture $shot.png"
  [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$shot.png is not a PNG"
done
# The show's files were made by the program itself, next to the pictures.
[ -s "$work/shots/demo-show.txt" ] || fail "no scenario file"
[ -s "$work/shots/demo-show.wav" ] || fail "no soundtrack file"
echo "PASS: $fired of $planned cues fired, nothing unasked, nine pictures"
