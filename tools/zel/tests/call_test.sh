#!/usr/bin/env bash
# zel calls a running zel-server over real HTTP: an anonymous call, a login
# with a token minted by zel-token, a create, a query, faults printed cleanly,
# refused tokens, and arguments refused before anything is sent.
set -uo pipefail
zel=$1 server=$2 token=$3
work=$(mktemp -d)
# shellcheck source-path=SCRIPTDIR source=../../../tests/support/zel_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../tests/support/zel_server.sh"
cleanup() {
  zel_server_kill
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

start_server() {  # start_server OUTPUT ARGS...: a server on a free port; sets url
  local output=$1
  shift
  zel_server_start "$server" "$output" --port 0 "$@" || exit 1
  url=$zel_server_url
}

start_server "$work/server.out"
grep -q "trusting tokens signed by the issuer key SHA256:[0-9a-f]\{64\} (the DEMO issuer" "$work/server.out" ||
  fail "the server does not print the trusted issuer key"

# A server linked statically starts without OpenSSL, SQLite or libpq mapped:
# each is loaded when first used (the first login loads libcrypto, below).
mapped() { grep -q "/$1\.so" "/proc/$zel_server_pid/maps"; }
if [ "${ZEL_SERVER_LOADS_ON_DEMAND:-0}" = 1 ]; then
  for library in libcrypto libssl libsqlite3 libpq; do
    mapped "$library" && fail "the server mapped $library at start"
  done
fi

run() {  # run STATUS PATTERN ARGS...: zel exits STATUS and prints PATTERN (stdout+stderr)
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

run 0 "profileManager: zel.profile.ProfileManager:ProfileManager" call --url "$url" ServiceInstance retrieveContent
run 1 "^fault olyx.MethodFault: Permission denied: .* log in first" \
  call --url "$url" ProfileManager queryProfile resourceType.resourceType=STORAGE

"$token" --subject alice --out "$work/alice.token" || fail "zel-token"
"$token" --subject viewer --privilege StorageProfile.View --out "$work/viewer.token" || fail "zel-token"
sub='createSpec.constraints.subProfiles[0]'
cap="$sub.capability[0]"
create=(createSpec.name=Gold createSpec.resourceType.resourceType=STORAGE
        createSpec.constraints@type=zel.profile.SubProfileCapabilityConstraints "$sub.name=replicated"
        "$cap.id.namespace=sample.storage" "$cap.id.id=replicaCount"
        "$cap.constraint[0].propertyInstance[0].id=replicaCount"
        "$cap.constraint[0].propertyInstance[0].value@type=xsd:int"
        "$cap.constraint[0].propertyInstance[0].value=2")
run 0 "^zel.profile.ProfileId$" call --url "$url" --token "$work/alice.token" ProfileManager create "${create[@]}"
id=$(sed -n 's/^  uniqueId: //p' <<<"$last")
[ -n "$id" ] || fail "create printed no uniqueId"
if [ "${ZEL_SERVER_LOADS_ON_DEMAND:-0}" = 1 ]; then
  mapped libcrypto || fail "the first login did not load libcrypto"
  mapped libssl && fail "a server without TLS loaded libssl"
fi
run 1 "^fault zel.fault.DuplicateName: .*Gold" \
  call --url "$url" --token "$work/alice.token" ProfileManager create "${create[@]}"
grep -q "^  name: Gold$" <<<"$last" || fail "the DuplicateName fault does not show its name"
run 0 "uniqueId: $id" call --url "$url" --token "$work/viewer.token" ProfileManager queryProfile \
  resourceType.resourceType=STORAGE
run 0 "<uniqueId>$id</uniqueId>" call --url "$url" --token "$work/viewer.token" --xml \
  ProfileManager queryProfile resourceType.resourceType=STORAGE
run 0 "uniqueId: $id" call --url "$url" --token "$work/viewer.token" ProfileManager queryProfile \
  'resourceType=<resourceType>STORAGE</resourceType>'
run 0 "name: Gold" call --url "$url" --token "$work/viewer.token" ProfileManager retrieveContent \
  "profileIds[0].uniqueId=$id"
run 1 "^fault olyx.MethodFault: .*StorageProfile.Update.*viewer" \
  call --url "$url" --token "$work/viewer.token" ProfileManager create "${create[@]}"
run 0 "<ZelQueryProfileResponse" call --url "$url" --token "$work/viewer.token" --wire \
  ProfileManager queryProfile resourceType.resourceType=STORAGE

# JSON: answers and faults printed with --json, arguments given with -d
# inline, from a file and from the standard input.
query='{"resourceType": {"resourceType": "STORAGE"}}'
run 0 "^\[\{\"uniqueId\":\"$id\"\}\]$" call --url "$url" --token "$work/viewer.token" --json \
  ProfileManager queryProfile -d "$query"
echo "$query" >"$work/query.json"
run 0 "uniqueId: $id" call --url "$url" --token "$work/viewer.token" ProfileManager queryProfile \
  -d "@$work/query.json"
run 0 "uniqueId: $id" call --url "$url" --token "$work/viewer.token" ProfileManager queryProfile \
  -d @- <"$work/query.json"
cat >"$work/create.json" <<'JSON'
{"createSpec": {"name": "Silver", "resourceType": {"resourceType": "STORAGE"},
  "constraints": {"_type": "zel.profile.SubProfileCapabilityConstraints",
    "subProfiles": [{"name": "replicated", "capability": [{
      "id": {"namespace": "sample.storage", "id": "replicaCount"},
      "constraint": [{"propertyInstance": [
        {"id": "replicaCount", "value": {"_type": "int", "_value": 2}}]}]}]}]}}}
JSON
run 0 '^\{"uniqueId":"[^"]+"\}$' call --url "$url" --token "$work/alice.token" --json \
  ProfileManager create -d "@$work/create.json"
run 1 '^\{"fault":\{"_type":"zel.fault.DuplicateName",.*"name":"Silver"' \
  call --url "$url" --token "$work/alice.token" --json ProfileManager create -d "@$work/create.json"
run 2 "unknownElement at colour" call --url "$url" ProfileManager queryProfile -d '{"colour": "blue"}'
run 2 "missingProperty" call --url "$url" ProfileManager queryProfile -d '{}'
run 2 "malformed" call --url "$url" ProfileManager queryProfile -d '{"resourceType": '
run 2 "either as a JSON object or as NAME=VALUE" call --url "$url" ProfileManager queryProfile \
  -d "$query" resourceType.resourceType=STORAGE
run 2 "cannot read the file $work/none.json" call --url "$url" ProfileManager queryProfile -d "@$work/none.json"
run 1 "^fault olyx.fault.WireFormat: .*loginByToken: the method is of zel.version.version2" call --url "$url" --token "$work/viewer.token" --api-version version1 \
  ServiceInstance retrieveContent  # version1 has no loginByToken: refused before sending

# Tokens the server refuses: tampered, expired-looking (forged lifetime), unsigned.
sed 's/>alice</>mallory</' "$work/alice.token" >"$work/tampered.token"
run 1 "^fault zel.fault.InvalidLogin: .*altered or forged" \
  call --url "$url" --token "$work/tampered.token" ServiceInstance retrieveContent
sed '/<Signature/d' "$work/alice.token" >"$work/unsigned.token"
run 1 "^fault zel.fault.InvalidLogin: .*not signed" \
  call --url "$url" --token "$work/unsigned.token" ServiceInstance retrieveContent

# Arguments refused before anything is sent.
run 2 "no such parameter; it has: resourceType profileCategory" \
  call --url "$url" ProfileManager queryProfile colour=blue
run 2 "a zel.profile.CapabilityConstraints has no such property.*SubProfileCapabilityConstraints" \
  call --url "$url" ProfileManager create createSpec.constraints.subProfiles[0].name=x
run 2 "createSpec.name: holds what XML cannot carry" \
  call --url "$url" ProfileManager create "createSpec.name=bell$(printf '\007')"
run 2 "has no method or property fly" call --url "$url" ProfileManager fly
run 2 "unknown API version" call --url "$url" --api-version 9.9 ServiceInstance retrieveContent
run 3 "zel call: " call --url "http://127.0.0.1:1/zel" ServiceInstance retrieveContent

# Files named for a value or a token are read whole, up to a limit; a missing
# one, a directory and an oversized one are refused by name.
run 2 "cannot read the file $work/none.txt" \
  call --url "$url" ProfileManager create "createSpec.name=@$work/none.txt"
run 2 "cannot read the file $work$" call --url "$url" ProfileManager create "createSpec.name=@$work"
head -c 65537 /dev/zero >"$work/big.token"
run 2 "$work/big.token is too large" \
  call --url "$url" --token "$work/big.token" ServiceInstance retrieveContent
run 2 "cannot read the token file $work$" \
  call --url "$url" --token "$work" ServiceInstance retrieveContent

# A server that trusts another issuer (--trust-key) takes that issuer's tokens
# and refuses the demo issuer's.
zel_server_stop
openssl genpkey -algorithm ed25519 -out "$work/issuer.pem" 2>/dev/null &&
  openssl pkey -in "$work/issuer.pem" -pubout -out "$work/issuer.pub.pem" || fail "openssl"
start_server "$work/server2.out" --trust-key "$work/issuer.pub.pem"
grep -q "DEMO" "$work/server2.out" && fail "the server still trusts the demo issuer"
"$token" --subject carol --key "$work/issuer.pem" --out "$work/carol.token" || fail "zel-token --key"
run 0 "^zel.profile.ProfileId\[\]: none" call --url "$url" --token "$work/carol.token" \
  ProfileManager queryProfile resourceType.resourceType=STORAGE
run 1 "^fault zel.fault.InvalidLogin: .*which this service does not trust" \
  call --url "$url" --token "$work/alice.token" ServiceInstance retrieveContent
"$server" --port 0 --trust-key "$work/issuer.pem" >"$work/server3.out" 2>&1 &&
  fail "a private key was taken as a trusted public key"
grep -q "not a PEM public key" "$work/server3.out" || fail "no reason for a bad --trust-key"
"$server" --port 0 --trust-key "$work" >"$work/server4.out" 2>&1 &&
  fail "a directory was taken as a trusted key"
grep -q "cannot read the key file $work" "$work/server4.out" || fail "no reason for a directory --trust-key"

if [ "$failures" -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "all call checks passed"
