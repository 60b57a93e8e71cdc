#!/usr/bin/env bash
# Starts zel-server on a free loopback port, runs zel-demo against it twice
# with --url, then stops the server and checks that it stopped cleanly.
# Usage: server_and_demo.sh ZEL_SERVER ZEL_DEMO
set -euo pipefail
server="$1"
demo="$2"
# shellcheck source-path=SCRIPTDIR source=../../../tests/support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../tests/support/zel_server.sh"
work="$(mktemp -d)"
cleanup() {
  zel_server_kill
  rm -rf "$work"
}
trap cleanup EXIT

zel_server_start "$server" "$work/server.out" || exit 1
url="$zel_server_url"

"$demo" --url "$url"
"$demo" --url "$url" --api-version version11 >"$work/demo2.out"
grep -q "every answer as expected" "$work/demo2.out"

status=0
zel_server_stop || status=$?
grep -q "stopping on signal" "$work/server.out"
exit "$status"
