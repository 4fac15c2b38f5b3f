#!/usr/bin/env bash
# Runs the README's commands as a new user would: ./run with no display (so through xvfb-run)
# starts the window, which closes at once; the two other programs answer from the build folder.
set -euo pipefail
root=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qvrun.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QUORVEL_HOME=$work/home QUORVEL_SETTINGS=$work/settings/Quorvel.ini
mkdir -p "$QUORVEL_HOME"
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*" >&2; exit 1; }

"$root/run" --quit-after-start >"$work/run.out" 2>&1 || { cat "$work/run.out" >&2; fail "./run exited with $?"; }
grep -q 'No display found' "$work/run.out" || fail "./run did not start on a virtual display"
log=$QUORVEL_HOME/quorvel.log
[ -f "$log" ] || { cat "$work/run.out" >&2; fail "no quorvel.log written"; }
grep -q 'Startup' "$log" || fail "no Startup in quorvel.log"
grep -q 'Shutdown' "$log" || fail "the window did not close cleanly (no Shutdown in quorvel.log)"
[ -f "$QUORVEL_SETTINGS" ] || fail "settings were not saved at exit"

"$build/quorvel-cli" --version | grep -q 'quorvel-cli' || fail "quorvel-cli --version"
"$build/quorvel-uucode" --help | grep -qi 'usage' || fail "quorvel-uucode --help"
echo "./run, quorvel-cli --version and quorvel-uucode --help all work"
