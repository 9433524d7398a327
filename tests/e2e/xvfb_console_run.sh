# The common part of the console's window runs under Xvfb, sourced by each run with its arguments
# (FIRNADESK FIRNADESK_BENCH BENCH_FILE [SCREENSHOT_DIR]): the X server, the bench tool on a
# pseudo-terminal (its commands go to descriptor 3), the console's real window on it with the run
# log on, and the helpers to drive and judge it. Returns with the window started up and holding the keyboard.
set -euo pipefail

for tool in xvfb-run xdotool iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
if [ "${1:-}" != "--inside-x" ]; then
  # Other runs may start an X server at the same moment: begin the search for a free display at a
  # number of our own.
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x800x24" "$0" --inside-x "$@"
fi
shift
program=$1 bench_tool=$2 bench_file=$3 shots=${4:-}

work=$(mktemp -d)
bench_pid="" app_pid=""
stop_process() {  # pid: asked first, then made to
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 20); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
  exec 3>&-
  stop_process "$app_pid"
  stop_process "$bench_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
  echo "FAIL: $*" >&2
  echo "--- run log:" >&2
  log_lines >&2 || true
  echo "--- bench:" >&2
  cat "$work/bench.out" >&2 || true
  exit 1
}

# The run log lands in logs/ beside the program: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/firnadesk"
log_lines() {
  local f
  f=$(ls "$work"/app/logs/*.log 2>/dev/null | head -n 1)
  [ -n "$f" ] || return 0
  iconv -f CP1251 -t UTF-8 "$f" | tr -d '\r' | sed -E 's/^[0-9./]+ [0-9:]+: //'
}
# Ctrl+X, then the window must be gone within 5 s and the program must have exited cleanly.
close_window() {
  key ctrl+x
  for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "Ctrl+X did not close the window"
  wait "$app_pid" || fail "the program exited with an error"
  app_pid=""
}
# The run log after the start-up lines (from the sound device's line on) must read exactly $1.
expect_log_after_startup() {
  local actual
  actual=$(log_lines | sed -n '/^Инициализация аудиоустройства/,$p' | tail -n +2)
  if [ "$actual" != "$1" ]; then
    diff <(echo "$1") <(echo "$actual") >&2 || true
    fail "run log lines differ"
  fi
  echo "run log: $(echo "$actual" | wc -l) lines in order"
}
wait_for_line() {  # text, seconds
  local deadline=$((SECONDS + $2))
  until log_lines | grep -qF -- "$1"; do
    [ $SECONDS -lt $deadline ] || fail "no log line \"$1\""
    sleep 0.1
  done
}
banner_visible() { xdotool search --onlyvisible --name '^Предупреждение$' >/dev/null 2>&1; }
shot() { [ -z "$shots" ] || import -window root "$shots/$1.png"; }
# The window must have taken the keyboard by itself (there is no window manager here to hand it over):
# at start-up, while the banner is up, and back again after one of its dialogs closed.
expect_keyboard() {  # when
  local deadline=$((SECONDS + 3))
  until [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]; do
    [ $SECONDS -lt $deadline ] || fail "the window did not have the keyboard $1"
    sleep 0.1
  done
}
key() {
  xdotool key --clearmodifiers "$1"
  sleep 0.4
}

mkfifo "$work/commands"
"$bench_tool" "$bench_file" --link "$work/tty" <"$work/commands" >"$work/bench.out" 2>&1 &
bench_pid=$!
exec 3>"$work/commands"
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
[ -e "$work/tty" ] || fail "the bench tool made no pseudo-terminal"

# A real window on the X server, whatever the test run chose for the other window tests.
QT_QPA_PLATFORM=xcb "$work/app/firnadesk" --port "$work/tty" --log-level 1 &
app_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Управление запуском' | head -n 1) || fail "no window"
[ -n "$window" ] || fail "no window"
expect_keyboard "at start-up"
xdotool mousemove 600 400
wait_for_line "Инициализация аудиоустройства" 10
sleep 1
