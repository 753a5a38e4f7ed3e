#!/usr/bin/env bash
# Ends the private print spooler that start-cupsd.sh FOLDER started, waiting at most 10 s.
set -u
folder=${1:?usage: stop-cupsd.sh FOLDER}
pidfile=$folder/cupsd.pid
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
kill "$pid" 2>/dev/null || exit 0
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || exit 0
  sleep 0.1
done
kill -9 "$pid" 2>/dev/null
exit 0
