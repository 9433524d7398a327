#!/usr/bin/env bash
# A show killed outright and carried on, in the console's real window under Xvfb on the bench tool's
# pseudo-terminal: F2, Shift+F10, F1, F5, SIGKILL after the third cue; the window started again with
# the scenario offers "Продолжить шоу с 0:00:01.5?", Return takes it, F1, F5 play the rest. The
# bench's fire log must hold each of the six cues exactly once.
#
# usage: resume_xvfb.sh FIRNADESK FIRNADESK_BENCH BENCH_FILE [SCREENSHOT_DIR]
source "$(dirname "$0")/xvfb_console_run.sh"

# Every run log of the two runs, oldest first.
all_log_lines() {
  local f
  for f in $(ls -tr "$work"/app/logs/*.log 2>/dev/null); do
    iconv -f CP1251 -t UTF-8 "$f" | tr -d '\r' | sed -E 's/^[0-9./]+ [0-9:]+: //'
  done
}
wait_for_any_line() {  # text, seconds, [how many times: 1]
  local deadline=$((SECONDS + $2))
  until [ "$(all_log_lines | grep -cF -- "$1")" -ge "${3:-1}" ]; do
    [ $SECONDS -lt $deadline ] || { all_log_lines >&2; fail "no log line \"$1\""; }
    sleep 0.1
  done
}

printf '0:00:00.5\t1\t1\r\n0:00:01.0\t2\t1\r\n0:00:01.5\t1\t2\r\n0:00:05.0\t2\t2\r\n0:00:05.5\t1\t3\r\n0:00:06.0\t2\t3\r\n' \
  >"$work/show.txt"

key F2
sleep 1.5
xdotool type --delay 20 "$work/show.txt"
key Return
sleep 1
expect_keyboard "after the file dialog"
key shift+F10
wait_for_line "Быстрый поиск: найдено пультов 2 из 2" 15
key F1
xdotool key --clearmodifiers F5
wait_for_line "Запуск, пульт: 1, канал: 2" 10
sleep 0.5
shot resume-before-kill
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
journals=("$work"/app/journal/*_show.jsonl)
[ "${#journals[@]}" -eq 1 ] || fail "expected one journal, found ${#journals[@]}"
grep -q '"event":"close"' "${journals[0]}" && fail "the killed show's journal is closed"

QT_QPA_PLATFORM=xcb "$work/app/firnadesk" --port "$work/tty" --log-level 1 --scenario "$work/show.txt" &
app_pid=$!
[ -n "$(timeout 30 xdotool search --sync --onlyvisible --name '^Продолжение шоу$' | head -n 1)" ] || fail "no offer"
sleep 0.5
shot resume-offer
xdotool key --clearmodifiers Return
wait_for_any_line "Продолжение шоу с 0:00:01.5, журнал: ${journals[0]}" 10
wait_for_any_line "Быстрый поиск: найдено пультов 2 из 2" 15 2  # the second run's quick search
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Управление запуском' | head -n 1) || fail "no window"
expect_keyboard "after the offer"
key F1
xdotool key --clearmodifiers F5
wait_for_any_line "Запуск, пульт: 2, канал: 3" 15
sleep 1
shot resume-end
key F1
close_window

resumed=$(ls "$work"/app/journal/*_show.jsonl | grep -vF "${journals[0]}")
grep -qF "\"resumed_from\":\"${journals[0]}\"" $resumed || fail "the resumed show's journal does not name the first"
echo log >&3
for _ in $(seq 50); do grep -q "^fire log:" "$work/bench.out" && break; sleep 0.1; done
sleep 0.5
fired=$(grep -oE "console [0-9]+  channel [0-9]+  level [0-9]+  direct" "$work/bench.out" | sort)
expected=$(printf 'console %s  channel %s  level 0  direct\n' 1 1 2 1 1 2 2 2 1 3 2 3 | sort)
[ "$fired" = "$expected" ] ||
  { diff <(echo "$expected") <(echo "$fired") >&2 || true; fail "the bench did not fire each cue exactly once"; }
echo "resume: 6 of 6 cues fired once each, 3 before the kill and 3 after the resume"
