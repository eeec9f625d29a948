# Sourced by the scripts that run a command beside a server of their own (jack_server.sh,
# pulse_server.sh): they start the server in the background as $server_pid and keep its
# files in $server_folder; both go when the script ends, however it ends.
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
