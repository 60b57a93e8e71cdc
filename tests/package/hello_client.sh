#!/usr/bin/env bash
# Builds examples/hello-client against an installed prefix alone, starts
# zel-server (the one installed with it) on a free loopback port and runs
# hello-client against it twice (the profile it makes is deleted again); then
# checks that a fault is printed cleanly when the server is gone.
# Usage: hello_client.sh SOURCE PREFIX WORK ZEL_SERVER ZEL_TOKEN
set -euo pipefail
source="$1"
prefix="$2"
work="$3"
server="$4"
mint="$5"

rm -rf "$work"
mkdir -p "$work"
rm -rf "$work/build"
cmake -S "$source" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j 2
client="$work/build/hello-client"

# shellcheck source-path=SCRIPTDIR source=../support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/zel_server.sh"
trap zel_server_kill EXIT
zel_server_start "$server" "$work/server.out" || exit 1
url="$zel_server_url"

"$mint" --subject hello@sample.test --out "$work/hello.token"
"$client" "$url" "$work/hello.token" | tee "$work/first.out"
grep -q "^profile hello$" "$work/first.out"
grep -q "refused, the name hello is in use" "$work/first.out"
# hello-client logs out, which spends its token: the second run gets its own
# (another lifetime, as the two are minted within the same second).
"$mint" --subject hello@sample.test --lifetime 1800 --out "$work/again.token"
"$client" "$url" "$work/again.token" >"$work/second.out"
grep -q "deleted hello, logged out" "$work/second.out"

zel_server_stop || true
status=0
"$client" "$url" "$work/hello.token" 2>"$work/gone.err" || status=$?
cat "$work/gone.err"
[ "$status" -eq 1 ] || { echo "hello-client exited with $status against a stopped server"; exit 1; }
grep -q "^hello-client: olyx.fault.WireFormat: transport" "$work/gone.err"
