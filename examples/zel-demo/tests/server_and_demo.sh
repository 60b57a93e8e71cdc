#!/usr/bin/env bash
# Starts zel-server on a free loopback port, runs zel-demo against it twice
# with --url, then stops the server and checks that it stopped cleanly.
# Usage: server_and_demo.sh ZEL_SERVER ZEL_DEMO
set -euo pipefail
server="$1"
demo="$2"
work="$(mktemp -d)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$server" --port 0 >"$work/server.out" 2>&1 &
server_pid=$!

# Wait (at most 20 s) for the line that names the URL.
url=""
for _ in $(seq 1 200); do
  url="$(grep -o 'http://127\.0\.0\.1:[0-9]*/zel' "$work/server.out" || true)"
  [ -n "$url" ] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.out"; exit 1; }
  sleep 0.1
done
[ -n "$url" ] || { echo "zel-server did not start"; cat "$work/server.out"; exit 1; }

"$demo" --url "$url"
"$demo" --url "$url" --api-version version11 >"$work/demo2.out"
grep -q "every answer as expected" "$work/demo2.out"

kill -TERM "$server_pid"
status=0
wait "$server_pid" || status=$?
server_pid=""
grep -q "stopping on signal" "$work/server.out"
exit "$status"
