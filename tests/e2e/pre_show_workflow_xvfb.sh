#!/usr/bin/env bash
# The operator's whole pre-show path in the console's real window under Xvfb, by keyboard alone, on
# the bench tool's pseudo-terminal: search and its additional-devices dialog, the channel test of
# every console, the scenario picked in the file dialog, write and verify, the show to its end, and
# the same show from the consoles' memory. The run log must hold the search, test, mode and firing
# lines in order, and the bench's fire log every cue, fired directly and from memory.
#
# usage: pre_show_workflow_xvfb.sh FIRNADESK FIRNADESK_BENCH BENCH_FILE [SCREENSHOT_DIR]
source "$(dirname "$0")/xvfb_console_run.sh"
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
wait_for_window() {  # title pattern, seconds
  local deadline=$((SECONDS + $2))
  until [ -n "$(window_named "$1")" ]; do
    [ $SECONDS -lt $deadline ] || fail "no window \"$1\""
    sleep 0.1
  done
}

# Cues for both consoles, in time order and after zero, so neither pre-flight check objects.
printf '0:00:00.5\t3\t1\topening\r\n0:00:01.0\t7\t2\tleft\r\n0:00:01.5\t3\t4\tright\r\n0:00:02.0\t7\t8\tfinale\r\n' \
  >"$work/show.txt"

# The search: radio addresses and peers first, then from 0 up; both consoles are found within
# about 30 addresses of 70 ms each.
key F10
sleep 4
shot 1-search
key F10
wait_for_line "Обнаружено дополнительное устройство, ID=0" 10
wait_for_window '^Предупреждение$' 10
shot 2-additional-devices
key Return
sleep 0.5
[ -z "$(window_named '^Предупреждение$')" ] || fail "Enter left the additional-devices dialog open"
expect_keyboard "after the additional-devices dialog"

# Every channel of every console.
key Tab
key F2
wait_for_line "Тестирование устройства, ID=7" 10
sleep 2
shot 3-channel-test
key Tab

# The scenario, typed into the file dialog.
key F2
sleep 1.5
shot 4-file-dialog
xdotool type --delay 20 "$work/show.txt"
key Return
sleep 1
expect_keyboard "after the file dialog"
shot 5-scenario

# Write and verify: no pre-flight objection, no error message.
key F8
sleep 2
[ -z "$(window_named '^Ошибка$')" ] || { shot write-error; fail "the write ended in an error message"; }
key F9
sleep 2
[ -z "$(window_named '^Ошибка$')" ] || { shot verify-error; fail "the verify ended in an error message"; }
expect_keyboard "after the write and the verify"
shot 6-written

# Console 7's graph with the scenario loaded: channel 6 not connected, crosses on 2 and 8.
key Tab
key Down
shot 6-console-7
key Tab

# The show to its end: four cues, the last at 2 s, then the player stops by itself.
key F1
key F5
sleep 1
shot 7-show-running
wait_for_line "Запуск, пульт: 7, канал: 8" 10
sleep 1.5
shot 8-show-ended

# The same show once more in the autonomous mode: now the consoles fire from what F8 stored in
# them, which the bench records as firings from memory.
key F1
key shift+F1
key F1
key F4
key F5
sleep 3.5
shot 9-autonomous-ended
key F1
close_window

expected="Обнаружено дополнительное устройство, ID=0
Тестирование устройства, ID=3
Тестирование устройства, ID=7
Переключение режима: ГОТОВНОСТЬ
Переключение режима: ЗАПУСК
Запуск, пульт: 3, канал: 1
Запуск, пульт: 7, канал: 2
Запуск, пульт: 3, канал: 4
Запуск, пульт: 7, канал: 8
Переключение режима: ОЖИДАНИЕ
Переключение режима запуска: АВТОНОМНЫЙ
Переключение режима: ГОТОВНОСТЬ
Переключение режима: ЗАПУСК
Запуск, пульт: 3, канал: 1
Запуск, пульт: 7, канал: 2
Запуск, пульт: 3, канал: 4
Запуск, пульт: 7, канал: 8
Переключение режима: ОЖИДАНИЕ
-----------------------------------------------------
Выход из ПО управления
-----------------------------------------------------"
expect_log_after_startup "$expected"

# The bench's own record: every cue fired directly on its console and channel.
echo log >&3
for _ in $(seq 50); do grep -q "console 7  channel 8" "$work/bench.out" && break; sleep 0.1; done
fired=$(grep -E "console [0-9]+  channel [0-9]+  level [0-9]+  direct" "$work/bench.out" | sed -E 's/.*(console [0-9]+  channel [0-9]+).*/\1/')
want="console 3  channel 1
console 7  channel 2
console 3  channel 4
console 7  channel 8"
[ "$fired" = "$want" ] || { echo "$fired" >&2; fail "the bench fired other cues than the scenario's"; }
echo "fire log: $(echo "$fired" | wc -l) cues fired directly"
stored=$(grep -E "console [0-9]+  channel [0-9]+  level [0-9]+  from memory" "$work/bench.out" | sed -E 's/.*(console [0-9]+  channel [0-9]+).*/\1/' | sort)
[ "$stored" = "$(echo "$want" | sort)" ] || { echo "$stored" >&2; fail "the consoles did not play the written scenario from memory"; }
echo "fire log: $(echo "$stored" | wc -l) cues fired from the consoles' memory"
