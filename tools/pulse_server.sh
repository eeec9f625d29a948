#!/bin/sh
# Runs the command given beside a PulseAudio server of its own, playing into a null sink, so
# the tests that play through Qt Multimedia find a default output through PULSE_SERVER; the
# server keeps its socket, cookie and state in a temporary folder, where it never meets a
# developer's own server, and is stopped when the command ends, however it ends. Where
# pulseaudio cannot start, says why and runs the command without it: those tests skip. Under
# CI (CI=true) a server that cannot start fails the run instead: a skip there checks nothing.
. "$(dirname "$0")/server_exit.sh"
folder="$server_folder"
log="$folder/log"
# Not daemonised (-D), so its process is ours to stop. -n: no default script, only the two
# modules; a server that never exits when idle (as root pulseaudio warns, and runs). The
# socket is private to this folder, so no cookie is needed to reach it.
if command -v pulseaudio >/dev/null; then
  HOME="$folder" XDG_RUNTIME_DIR="$folder" XDG_CONFIG_HOME="$folder" PULSE_RUNTIME_PATH="$folder" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    --load="module-null-sink sink_name=tandora_test" \
    --load="module-native-protocol-unix socket=$folder/native auth-anonymous=1" >"$log" 2>&1 &
  server_pid=$!
  tries=0
  until [ -S "$folder/native" ] || [ "$tries" -ge 50 ] || ! kill -0 "$server_pid" 2>/dev/null; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ -S "$folder/native" ]; then
    export PULSE_SERVER="unix:$folder/native"
  else
    server_missing "pulseaudio did not start" "the sound output tests" "$log"
  fi
else
  server_missing "no pulseaudio on this machine" "the sound output tests"
fi
"$@"
