#!/usr/bin/env bash
# F6 in the middle of a finale, in the console's real window under Xvfb, on the bench tool's
# pseudo-terminal: 500 cues fall due at one instant, and the bench's fire log must show no firing
# later than 50 ms after the key, the rest of the burst not fired. The bench marks its time just
# before xdotool starts and just after it returns: xdotool alone takes 30-200 ms here to start and
# reach the X server, so the key arrived somewhere between the two marks, and the bound is held
# against the second.
#
# usage: burst_stop_xvfb.sh FIRNADESK FIRNADESK_BENCH BENCH_FILE [SCREENSHOT_DIR]
source "$(dirname "$0")/xvfb_console_run.sh"

for i in $(seq 0 499); do
  printf '0:00:01.0\t%d\t%d\tfinale\r\n' $((i % 2 == 0 ? 3 : 7)) $((i / 2 % 16 + 1))
done >"$work/finale.txt"

# Both consoles: the search sweeps on from the radio addresses; console 7 answers within about
# 30 addresses of 70 ms each.
key F10
sleep 5
key F10

key F2
sleep 1.5
xdotool type --delay 20 "$work/finale.txt"
key Return
sleep 1
expect_keyboard "after the file dialog"

key F1
xdotool key --clearmodifiers F5
# 500 cues take about three seconds of wire time from 1 s on: stop half a second into them.
sleep 1.5
echo mark >&3
xdotool key --clearmodifiers F6
echo mark >&3
wait_for_line "Переключение режима: СТОП" 10
sleep 1
shot burst-stopped
key F1
close_window

echo log >&3
for _ in $(seq 50); do grep -q "^fire log:" "$work/bench.out" && break; sleep 0.1; done
sleep 0.5
marks=$(sed -nE 's/^mark at ([0-9]+)\.([0-9]+) ms$/\1\2/p' "$work/bench.out")
before=$(echo "$marks" | sed -n 1p)
mark=$(echo "$marks" | sed -n 2p)
[ -n "$mark" ] || fail "the bench gave no marks"
direct=$(grep -E "ms  console [0-9]+  channel [0-9]+  level [0-9]+  direct" "$work/bench.out" |
  sed -E 's/^([0-9]+)\.([0-9]+) ms.*/\1\2/')
count=$(echo "$direct" | grep -c . || true)
last=$(echo "$direct" | sort -n | tail -n 1)
[ -n "$last" ] || fail "nothing fired before the stop"
late_us=$((last - mark))
echo "burst: $count of 500 cues fired; the last $((late_us / 1000)) ms after the key had gone out," \
  "$(((last - before) / 1000)) ms after xdotool was started ($(((mark - before) / 1000)) ms between the marks)"
[ "$count" -gt 0 ] && [ "$count" -lt 500 ] || fail "the stop did not cut the burst ($count fired)"
[ "$late_us" -le 50000 ] || fail "a cue fired $late_us us after F6"
lines=$(log_lines | grep -c "^Запуск, пульт:" || true)
[ "$lines" -eq "$count" ] || fail "the run log names $lines cues, the bench fired $count"
