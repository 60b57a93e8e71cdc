#!/usr/bin/env bash
# zel-server as operators run it. Usage: operations.sh ZEL_SERVER ZEL_DEMO ZEL_INVENTORY ABUSE_PY
set -euo pipefail
server="$1"
demo="$2"
inventory="$3"
abuse="$4"
# shellcheck source-path=SCRIPTDIR source=../support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/zel_server.sh"
work="$(mktemp -d)"
pids=()
cleanup() {
  zel_server_kill
  for pid in "${pids[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; for f in "$work"/*.out; do echo "--- $f"; cat "$f"; done; exit 1; }

# Starts zel-server with the given flags, output to $work/$name.out; sets
# $url and $pid once it names its URL.
start() {
  local name="$1"; shift
  zel_server_start "$server" "$work/$name.out" "$@" || fail "$name did not start"
  pid=$zel_server_pid
  pids+=("$pid")
  url=$zel_server_url
}

echo "== --version and --help on every program"
for program in "$server" "$demo" "$inventory"; do
  "$program" --version | grep -Eq "^[a-z-]+ [0-9]+\.[0-9]+\.[0-9]+$" || fail "$program --version"
  "$program" --help >/dev/null || fail "$program --help"
done
help="$("$server" --help)"
for flag in --port --bind --tls-cert --tls-key --log-level --max-body --max-header --max-depth \
            --max-elements --max-string --max-connections --max-connections-per-peer \
            --read-timeout --idle-timeout --drain-timeout --version --admin --seed --trust-key; do
  grep -q -- "$flag" <<<"$help" || fail "--help does not list $flag"
done
if "$server" --port 0 --log-level loud >/dev/null 2>&1; then fail "a bad flag value was taken"; fi
# A usage error: one line naming the help, exit status 2, for every program.
for bad in "$server --port=0 --log-level=loud" "$server --port 0 --colour red" "$server" \
           "$demo --api-version=9.9" "$demo --colour" "$inventory --colour"; do
  status=0
  err="$($bad 2>&1 >/dev/null)" || status=$?
  [ "$status" -eq 2 ] || fail "$bad: exit status $status"
  [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q "; see '.* --help'$" <<<"$err" ||
    fail "$bad: not one line naming the help: $err"
done

echo "== the request log and the limits through the real process"
start first --port 0 --max-body 1048576 --log-level info
first_pid=$pid
first_url=$url
port="${first_url##*:}"; port="${port%%/*}"
"$demo" --url "$first_url" >"$work/demo.out" || fail "zel-demo against the server"
python3 "$abuse" "$port" || fail "a hostile request was not refused"
"$demo" --url "$first_url" >"$work/demo2.out" || fail "zel-demo after the hostile requests"
# One line per call: time, peer, user, method, outcome, duration.
grep -Eq '^[0-9T:.-]+Z 127\.0\.0\.1 - ZelRetrieveServiceContent ok [0-9.]+ms$' "$work/first.out" \
  || fail "no log line for an anonymous call"
grep -Eq '^[0-9T:.-]+Z 127\.0\.0\.1 [^ -][^ ]* ZelLoginByToken ok [0-9.]+ms$' "$work/first.out" \
  || fail "no log line with the user of a login"
grep -Eq '^[0-9T:.-]+Z 127\.0\.0\.1 [^ -][^ ]* ZelLogout ok [0-9.]+ms$' "$work/first.out" \
  || fail "no log line with the user of a logout"
grep -Eq ' fault:[A-Za-z]+ [0-9.]+ms$' "$work/first.out" || fail "no log line for a fault"
grep -Eq ' http:413 \(body over the limit\) ' "$work/first.out" || fail "no log line for a refusal"

echo "== a second server on the taken port exits non-zero"
status=0
"$server" --port "$port" >"$work/second.out" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "the second server started"
grep -q "already in use" "$work/second.out" || fail "no clear message for the taken port"
"$demo" --url "$first_url" >/dev/null || fail "the first server stopped serving"

echo "== SIGTERM with a kept-alive connection open: exits 0"
exec 3<>"/dev/tcp/127.0.0.1/$port"
kill -TERM "$first_pid"
status=0
wait "$first_pid" || status=$?
exec 3>&-
[ "$status" -eq 0 ] || fail "zel-server exited $status on SIGTERM"
grep -q "zel-server: stopped" "$work/first.out" || fail "no stop message"

echo "== TLS with a certificate made now"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
  -keyout "$work/server.key" -out "$work/server.crt" 2>"$work/openssl.log"
start tls --port 0 --tls-cert "$work/server.crt" --tls-key "$work/server.key"
tls_pid=$pid
tls_port="${url##*:}"; tls_port="${tls_port%%/*}"
"$demo" --url "https://localhost:$tls_port/zel" --trust "$work/server.crt" >"$work/tls-demo.out" \
  || fail "zel-demo over https"
if "$demo" --url "https://localhost:$tls_port/zel" >"$work/untrusted.out" 2>&1; then
  fail "an untrusted certificate was accepted"
fi
grep -q "certificate verify failed" "$work/untrusted.out" || fail "no verification message"
kill -TERM "$tls_pid"
wait "$tls_pid" || fail "the TLS server did not exit 0"
echo "all operations as expected"
