#!/bin/sh
# Runs the command given beside a JACK server of its own (dummy driver, no realtime, a
# server name of its own), so the tests that carry MIDI over JACK find it through
# JACK_DEFAULT_SERVER; the server is stopped when the command ends, however it ends.
# Where jackd cannot start, says why and runs the command without it: those tests skip. Under
# CI (CI=true) a server that cannot start fails the run instead: a skip there checks nothing.
. "$(dirname "$0")/server_exit.sh"
server="tandora-test-$$"
log="$server_folder/log"
# 128 frames at 48 kHz: a JACK cycle of 2.7 ms, so a request and its reply cross in a few ms.
# A MIDI event lives in its port's buffer for one cycle only: in JACK's default asynchronous
# mode a client that is late misses the cycle and its messages are lost. Synchronous mode
# (-S) waits for every client, up to 100 ms (-t); the server also waits ten times that for
# each client of a killed program before it drops its ports, so a longer limit makes the
# unplug test slower. Realtime scheduling (-R; as root, or where the limits allow it; else
# jackd carries on without) keeps the clients' JACK threads on time on a busy machine,
# where the link's 200 ms probe of a pedal would otherwise time out now and then.
if command -v jackd >/dev/null; then
  jackd --name "$server" -R -S -t 100 -d dummy -r 48000 -p 128 >"$log" 2>&1 &
  server_pid=$!
  if jack_wait --server "$server" --wait --timeout 10 >/dev/null 2>&1; then
    export JACK_DEFAULT_SERVER="$server"
  else
    server_missing "jackd did not start" "the JACK tests" "$log"
  fi
else
  server_missing "no jackd on this machine" "the JACK tests"
fi
"$@"
