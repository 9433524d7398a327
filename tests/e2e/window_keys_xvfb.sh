#!/usr/bin/env bash
# The console's real window under Xvfb, driven with xdotool keys, on the bench tool's
# pseudo-terminal: modes, launch mode, nothing to start, the converter unplugged and plugged in
# again, a stop from the remote control in the launch view and in the test view, and the exit. The run log must hold each line in order.
#
# usage: window_keys_xvfb.sh FIRNADESK FIRNADESK_BENCH BENCH_FILE [SCREENSHOT_DIR]
source "$(dirname "$0")/xvfb_console_run.sh"
banner_visible() { xdotool search --onlyvisible --name '^Предупреждение$' >/dev/null 2>&1; }

shot wait

key F1
shot ready
key F1
key shift+F1
key shift+F1
key F1
key Escape
key F5

echo unplug >&3
wait_for_line "Ошибка преобразователя RS485 - нет связи" 10
sleep 0.5
banner_visible || fail "no banner for the lost converter"
shot converter-lost
sleep 1
shot converter-lost-flash
echo replug >&3
wait_for_line "Работа преобразователя RS485 восстановлена" 10
sleep 0.5
banner_visible && fail "the banner stayed after the converter came back"

echo remote-stop >&3
wait_for_line "Экстренная внешняя остановка воспроизведения" 10
sleep 0.5
banner_visible || fail "no banner for the emergency stop"
shot emergency-stop
expect_keyboard "while the banner is up"
key Escape
banner_visible && fail "Esc left the banner up"

# The remote's stop heard in the test view: the warning, and the mode stays ОЖИДАНИЕ, so Tab still
# leads back (the first key closes the banner and is then handled) and F1 arms from ОЖИДАНИЕ.
key Tab
# Two seconds after our own stop frames a stop is somebody pressing stop again, not an answer.
sleep 2
echo remote-stop >&3
# The run log writes a line repeated at once as one line with its count.
wait_for_line "Экстренная внешняя остановка воспроизведения ( X 2 )" 10
sleep 0.5
banner_visible || fail "no banner for the stop heard in the test view"
shot emergency-stop-test-view
key Tab
banner_visible && fail "Tab left the banner up"
key F1
key F1
shot after-test-view-stop
close_window

expected="Переключение режима: ГОТОВНОСТЬ
Переключение режима: ОЖИДАНИЕ
Переключение режима запуска: АВТОНОМНЫЙ
Переключение режима запуска: ПРЯМОЙ
Переключение режима: ГОТОВНОСТЬ
Ошибка преобразователя RS485 - нет связи
Работа преобразователя RS485 восстановлена
Экстренная внешняя остановка воспроизведения ( X 2 )
Переключение режима: ГОТОВНОСТЬ
Переключение режима: ОЖИДАНИЕ
-----------------------------------------------------
Выход из ПО управления
-----------------------------------------------------"
expect_log_after_startup "$expected"
