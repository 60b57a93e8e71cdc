#!/usr/bin/env bash
# zel call's options against a running zel-server over real sockets: a
# request body from a file or standard input, a value from standard input,
# --opt=value, an extra header that the server acts on, https with the
# server's own certificate (--cacert), with none checked (--insecure) and
# refused otherwise, a timeout against a server that never answers, and the
# files zel reads refused before anything is sent.
set -uo pipefail
zel=$1 server=$2 token=$3
work=$(mktemp -d)
# shellcheck source-path=SCRIPTDIR source=../../../tests/support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../tests/support/zel_server.sh"
silent_pid=""
cleanup() {
  zel_server_kill
  [ -n "$silent_pid" ] && kill "$silent_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

run() {  # run STATUS PATTERN ARGS... (standard input passed on): status and output
  local status=$1 pattern=$2
  shift 2
  local out got
  out=$("$zel" "$@" 2>&1)
  got=$?
  if [ "$got" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    fail "zel $*: status $got (wanted $status), output:"; echo "$out"
  fi
  last=$out
}

zel_server_start "$server" "$work/server.out" --port=0 || exit 1
url=$zel_server_url
"$token" --subject=alice --out="$work/alice.token" || fail "zel-token --opt=value"
login=(--url="$url" --token="$work/alice.token")
query='<resourceType><resourceType>STORAGE</resourceType></resourceType>'

# The request body as XML: inline, from a file, from standard input, inside
# the method's element; and beside assignments, a parameter at most once.
run 0 "^zel.profile.ProfileId\[\]: none" call "${login[@]}" -d "$query" ProfileManager queryProfile
echo "<ZelQueryProfile>$query</ZelQueryProfile>" >"$work/query.xml"
run 0 "^zel.profile.ProfileId\[\]: none" call "${login[@]}" -d "@$work/query.xml" \
  ProfileManager queryProfile
run 0 "^zel.profile.ProfileId\[\]: none" call "${login[@]}" --data=@- ProfileManager queryProfile \
  <<<"$query"
create='<createSpec><name>Gold</name><resourceType><resourceType>STORAGE</resourceType></resourceType>
  <constraints xsi:type="ZelCapabilitySubProfileConstraints"><subProfiles><name>s</name>
  <capability><id><namespace>sample.storage</namespace><id>replicaCount</id></id>
  <constraint><propertyInstance><id>replicaCount</id><value xsi:type="xsd:int">2</value>
  </propertyInstance></constraint></capability></subProfiles></constraints></createSpec>'
run 0 "^zel.profile.ProfileId$" call "${login[@]}" ProfileManager create -d @- <<<"$create"
run 2 "resourceType: given both in the request body and as an argument" \
  call "${login[@]}" -d "$query" ProfileManager queryProfile resourceType.resourceType=STORAGE
run 2 "the request body's <colour>: .* has no such parameter; it has: resourceType profileCategory" \
  call "${login[@]}" -d '<colour>red</colour>' ProfileManager queryProfile
run 2 "the request body is not XML" call "${login[@]}" -d '<resourceType>' ProfileManager queryProfile
run 2 "cannot read the file $work/none.xml" call "${login[@]}" -d "@$work/none.xml" \
  ProfileManager queryProfile

# One value from standard input (its final line break dropped), and
# standard input once only.
run 0 "^    uniqueId: " call "${login[@]}" ProfileManager queryProfile \
  resourceType.resourceType=@- <<<"STORAGE"
run 2 "standard input \(@-\) can be read for one value only" call "${login[@]}" -d @- \
  ProfileManager queryProfile profileCategory=@- <<<"$query"

# A token file that cannot be read is a usage error: nothing is sent.
run 2 "cannot read the token file $work/none.token" \
  call --url "$url" --token "$work/none.token" ServiceInstance retrieveContent

# -H reaches the server: the session cookie of one process's login, sent by
# another process as a header, is that session.
run 0 "Set-Cookie: zel_session=" call "${login[@]}" --wire ServiceInstance retrieveContent
cookie=$(sed -n 's/^Set-Cookie: \(zel_session=[0-9a-f]*\).*/\1/p' <<<"$last" | tail -n 1)
[ -n "$cookie" ] || fail "no session cookie in the trace"
run 1 "^fault olyx.MethodFault: Permission denied" call --url "$url" ProfileManager queryProfile \
  resourceType.resourceType=STORAGE
run 0 "uniqueId: " call --url "$url" -H "Cookie: $cookie" ProfileManager queryProfile \
  resourceType.resourceType=STORAGE
run 0 "^X-Trace-Id: abc 123$" call --url "$url" --header='X-Trace-Id: abc 123' --wire \
  ServiceInstance retrieveContent
run 2 "zel sets the header Content-Type itself" \
  call --url "$url" -H 'Content-Type: text/plain' ServiceInstance retrieveContent
run 2 "given as 'Name: value'" call --url "$url" -H 'no colon' ServiceInstance retrieveContent
run 2 "is not an HTTP token" call --url "$url" -H 'a b: c' ServiceInstance retrieveContent
zel_server_stop

# https with a certificate made now: trusted with --cacert, accepted unchecked
# with --insecure, refused (a failed call) without either.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
  -keyout "$work/server.key" -out "$work/server.crt" 2>"$work/openssl.log" || fail "openssl"
zel_server_start "$server" "$work/tls.out" --port 0 --tls-cert="$work/server.crt" \
  --tls-key="$work/server.key" || exit 1
port=${zel_server_url##*:}
port=${port%%/*}
tls="https://localhost:$port/zel"
run 0 "^zel.ServiceInstanceContent" call --url "$tls" --cacert "$work/server.crt" \
  ServiceInstance retrieveContent
run 0 "^zel.ServiceInstanceContent" call --url "$tls" --insecure ServiceInstance retrieveContent
run 3 "certificate verify failed" call --url "$tls" ServiceInstance retrieveContent
run 2 "cannot load the certificates to trust from $work/none.crt" \
  call --url "$tls" --cacert "$work/none.crt" ServiceInstance retrieveContent
zel_server_stop

# A server that takes the connection and never answers: the call fails
# (status 3) once --timeout has passed, instead of waiting 15 s.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
print(s.getsockname()[1], flush=True)
time.sleep(120)
' >"$work/silent.port" &
silent_pid=$!
for _ in $(seq 1 100); do [ -s "$work/silent.port" ] && break; sleep 0.1; done
run 3 "no answer" call --url "http://127.0.0.1:$(cat "$work/silent.port")/zel" --timeout 0.5 \
  ServiceInstance retrieveContent

if [ "$failures" -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "all option checks passed"
