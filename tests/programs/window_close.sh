#!/usr/bin/env bash
# Closing the window by its close box while work is queued asks first (Cancel keeps it open);
# a logout or shutdown signal closes it without asking and keeps the queue in the task file.
# Runs the program under its own X server and window manager and drives it with xdotool.
set -euo pipefail
build=$1
for tool in Xvfb openbox xdotool python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/qvclose.XXXXXX")
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # condition, what
    for _ in $(seq 150); do eval "$1" && return 0; sleep 0.1; done
    fail "$2"
}

display=70
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
wait_for "xdotool getdisplaygeometry >/dev/null 2>&1" "the X server did not start"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

# A server that takes the connection and never says a word: the task stays at work.
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
time.sleep(600)' >"$work/port" &
pids+=($!)
wait_for "[ -s '$work/port' ]" "the silent server did not start"

export QUORVEL_HOME=$work/home QUORVEL_SETTINGS=$work/home/settings.ini QUORVEL_KEYRING=off
mkdir -p "$QUORVEL_HOME"
printf '[Default]\nHost=127.0.0.1:%s\nTimeout=120\n' "$(cat "$work/port")" >"$QUORVEL_SETTINGS"
"$build/quorvel" >"$work/out" 2>&1 &
qv=$!
pids+=($qv)
wait_for "xdotool search --onlyvisible --name '^Quorvel v2' >/dev/null 2>&1" "the window did not show"
main=$(xdotool search --onlyvisible --name '^Quorvel v2' | head -1)
xdotool windowactivate --sync "$main"

# Groups > Download (Ctrl+D), Yes to its question: a task that waits on the silent server.
xdotool key --window "$main" ctrl+d
wait_for "xdotool search --onlyvisible --name '^Quorvel\$' >/dev/null 2>&1" "Download asked nothing"
xdotool key Return
wait_for "! xdotool search --onlyvisible --name '^Quorvel\$' >/dev/null 2>&1" "the question stayed"
sleep 1 # the task starts at the next idle moment

xdotool windowactivate --sync "$main" key alt+F4
wait_for "xdotool search --onlyvisible --name '^Quorvel\$' >/dev/null 2>&1" \
    "the close box closed a window at work without asking"
xdotool key Escape
wait_for "! xdotool search --onlyvisible --name '^Quorvel\$' >/dev/null 2>&1" "Cancel did not close the question"
sleep 0.5
kill -0 "$qv" 2>/dev/null || fail "Cancel closed the window"

kill -TERM "$qv"
wait_for "! kill -0 $qv 2>/dev/null" "SIGTERM did not end the window (a question left open?)"
grep -q . "$QUORVEL_HOME/qvtasks.qv" || fail "the queued task was not kept in the task file"
[ "$(wc -l <"$QUORVEL_HOME/qvtasks.qv")" -ge 2 ] || fail "the task file holds no task"
echo "the close box asks while work is queued; a signal closes and keeps the queue"
