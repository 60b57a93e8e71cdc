#!/usr/bin/env bash
# A scratch PostgreSQL cluster for tests.
#
#   pg_cluster.sh start DIR   creates a cluster in DIR (which must not exist
#                             or be empty), starts it on a free loopback port
#                             with its socket in DIR, waits until it answers
#                             and prints its URI on stdout:
#                             postgresql://postgres@127.0.0.1:PORT/postgres
#   pg_cluster.sh stop DIR    stops it (fast) and removes DIR
#   pg_cluster.sh restart DIR stops and starts it again on the same port
#   pg_cluster.sh halt DIR    stops it, keeping DIR, for a later restart
#   pg_cluster.sh available   exits 0 when the server's programs are here
#
# Run as root, the cluster belongs to the postgres user (the server refuses
# to run as root), so DIR's parent folders must let that user through (a
# folder made by mktemp -d under /tmp does). Authentication is trust, on
# loopback only.
set -euo pipefail

pg_bin() {
  for dir in /usr/lib/postgresql/*/bin; do
    if [ -x "$dir/pg_ctl" ] && [ -x "$dir/initdb" ] && [ -x "$dir/postgres" ]; then
      echo "$dir"
      return 0
    fi
  done
  return 1
}

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

command="${1:-}"
dir="${2:-}"
bin="$(pg_bin)" || {
  echo "pg_cluster.sh: no PostgreSQL server programs in /usr/lib/postgresql/*/bin" >&2
  exit 77
}
[ "$command" = available ] && exit 0
[ -n "$dir" ] || { echo "usage: pg_cluster.sh start|stop|restart|halt DIR" >&2; exit 2; }

start_server() {
  local port
  port="$(cat "$dir/port")"
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$dir -c fsync=off" \
    start >/dev/null
}

case "$command" in
  start)
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres "$dir"; fi
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --no-sync >/dev/null
    free_port >"$dir/port"
    start_server
    echo "postgresql://postgres@127.0.0.1:$(cat "$dir/port")/postgres"
    ;;
  restart)
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    start_server
    ;;
  halt)
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
  stop)
    if [ -d "$dir/data" ]; then
      as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: pg_cluster.sh start|stop|restart|halt DIR" >&2
    exit 2
    ;;
esac
