#!/usr/bin/env bash
# A zel-server flooded with the calls that take the most memory gives it back.
# Usage: memory.sh ZEL_SERVER ZEL_TOKEN FLOOD_PY [--no-bound]
set -euo pipefail
server="$1" token="$2" flood="$3"
shift 3
# shellcheck source-path=SCRIPTDIR source=../support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/zel_server.sh"
work="$(mktemp -d)"
trap 'zel_server_kill; rm -rf "$work"' EXIT

zel_server_start "$server" "$work/server.out" --port 0 --log-level error
port="${zel_server_url##*:}"; port="${port%%/*}"
python3 "$flood" "$port" "$zel_server_pid" "$token" "$@"
zel_server_stop
