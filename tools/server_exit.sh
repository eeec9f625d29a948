# Sourced by the scripts that run a command beside a server of their own (jack_server.sh,
# pulse_server.sh): they start the server in the background as $server_pid and keep its
# files in $server_folder; both go when the script ends, however it ends.
# server_missing REASON TESTS [LOG]: a server that could not start. On a developer's machine
# the tests that need it skip; under CI the script ends with the reason.
server_folder=$(mktemp -d)
server_pid=""
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$server_folder"
}
trap stop_server EXIT
trap 'exit 130' INT TERM HUP
server_missing() {
  script=$(basename "$0" .sh)
  if [ "$CI" = true ]; then
    echo "$script: $1; under CI $2 must run, so the run fails" >&2
  else
    echo "$script: $1; $2 skip" >&2
  fi
  if [ -n "$3" ]; then cat "$3" >&2; fi
  if [ "$CI" = true ]; then exit 1; fi
}
