#!/usr/bin/env bash
# A logout or shutdown (SIGTERM, SIGHUP) ends the window as Exit does: "Shutdown" logged and
# the settings written.
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qvsig.XXXXXX")
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export QUORVEL_HOME=$work/home QUORVEL_SETTINGS=$work/settings/Quorvel.ini QT_QPA_PLATFORM=offscreen
mkdir -p "$QUORVEL_HOME"
log=$QUORVEL_HOME/quorvel.log

fail() { echo "FAIL: $*" >&2; exit 1; }
count() { if [ -f "$log" ]; then grep -c "$1" "$log" || true; else echo 0; fi; }

for sig in TERM HUP; do
    rm -f "$QUORVEL_SETTINGS"
    before=$(count Shutdown)
    started=$(count Startup)
    "$build/quorvel" >"$work/out" 2>&1 &
    pid=$!
    for _ in $(seq 200); do
        [ "$(count Startup)" -gt "$started" ] && break
        sleep 0.1
    done
    [ "$(count Startup)" -gt "$started" ] || { cat "$work/out" >&2; fail "the window did not start"; }
    sleep 0.5 # into the event loop
    kill -"$sig" "$pid"
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "SIG$sig did not end the window"
    status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" -eq 0 ] || fail "SIG$sig: exit status $status"
    [ "$(count Shutdown)" -gt "$before" ] || fail "SIG$sig: no Shutdown in quorvel.log"
    [ -f "$QUORVEL_SETTINGS" ] || fail "SIG$sig: the settings were not saved"
done
echo "SIGTERM and SIGHUP close the window cleanly"
