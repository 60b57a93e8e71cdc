# shellcheck shell=bash
# zel-server for the shell tests, sourced by them (bash):
#
#   zel_server_start SERVER OUTPUT [ARGS...]
#       starts SERVER ARGS... in the background (default ARGS: --port 0, a
#       free loopback port), its output in OUTPUT, and waits (at most 60 s)
#       for the line naming its URL. Sets zel_server_pid and zel_server_url.
#       Prints OUTPUT and returns 1 when the server exits first or never
#       names a URL.
#   zel_server_stop
#       stops it with SIGTERM and returns its exit status.
#   zel_server_kill
#       for EXIT traps: stops it when it is still running; always succeeds.
zel_server_pid=""
zel_server_url=""

zel_server_start() {
  local server="$1" output="$2"
  shift 2
  [ "$#" -gt 0 ] || set -- --port 0
  "$server" "$@" >"$output" 2>&1 &
  zel_server_pid=$!
  zel_server_url=""
  local _
  for _ in $(seq 1 600); do
    zel_server_url="$(grep -o 'https\?://[^ ]*/zel' "$output" 2>/dev/null | head -n 1 || true)"
    [ -n "$zel_server_url" ] && return 0
    kill -0 "$zel_server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "zel-server did not start:"
  cat "$output"
  return 1
}

zel_server_stop() {
  local pid="$zel_server_pid" status=0
  zel_server_pid=""
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || status=$?
  return "$status"
}

zel_server_kill() {
  if [ -n "$zel_server_pid" ] && kill -0 "$zel_server_pid" 2>/dev/null; then
    kill "$zel_server_pid" 2>/dev/null || true
    wait "$zel_server_pid" 2>/dev/null || true
  fi
  zel_server_pid=""
  return 0
}
