#!/usr/bin/env bash
# zel describes what the description records hold: types by pattern, a data
# object's properties with presence and versions, a method's signature,
# privilege and faults; unknown names and bad usage are refused.
set -uo pipefail
zel=$1
failures=0

expect() {  # expect NAME PATTERN COMMAND...: COMMAND succeeds and prints PATTERN
  local name=$1 pattern=$2
  shift 2
  local out
  if ! out=$("$@" 2>&1); then
    echo "FAIL $name: exit status $? from $*"; echo "$out"; failures=$((failures + 1)); return
  fi
  if ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL $name: no match for /$pattern/ in:"; echo "$out"; failures=$((failures + 1))
  fi
}
refuse() {  # refuse NAME STATUS PATTERN COMMAND...: COMMAND exits STATUS, stderr matches
  local name=$1 status=$2 pattern=$3
  shift 3
  local out
  out=$("$@" 2>&1 >/dev/null)
  local got=$?
  if [ "$got" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL $name: status $got (wanted $status), stderr:"; echo "$out"; failures=$((failures + 1))
  fi
}

expect "types by pattern" $'^fault\tzel.fault.InvalidLogin\tZelFaultInvalidLogin\tzel.version.version2$' \
  "$zel" types 'zel.fault.*'
expect "types by WSDL pattern" $'managed object\tzel.profile.ProfileManager' "$zel" types 'ZelProfile*Manager'
[ "$("$zel" types | wc -l)" -ge 149 ] || { echo "FAIL: fewer than 149 types"; failures=$((failures + 1)); }
refuse "no match" 1 "" "$zel" types 'no.such.*'

expect "an optional property of a later version" \
  "replicationManager: ref zel.replication.ReplicationManager optional, since zel.version.version11" \
  "$zel" describe zel.ServiceInstanceContent
expect "inherited properties" "hub: zel.placement.PlacementHub required, since zel.version.version1, from zel.fault.CompatibilityCheckFault" \
  "$zel" describe ZelIncompatibleVendorSpecificRuleSet
expect "an array property" "messageArg: olyx.KeyAnyValue\[\] optional" "$zel" describe zel.ExtendedElementDescription
expect "enumeration values" "7 unknown" "$zel" describe zel.ServerObjectRef.ObjectType
expect "a managed type's methods" "loginByToken, privilege System.Anonymous, since zel.version.version2" \
  "$zel" describe zel.auth.SessionManager

out=$("$zel" describe ProfileManager.create)
for line in "parameters:" "  createSpec: zel.profile.CapabilityBasedProfileCreateSpec required" \
            "result: zel.profile.ProfileId required" "privilege: StorageProfile.Update" \
            "faults: olyx.fault.InvalidArgument zel.fault.ProfileStorageFault zel.fault.DuplicateName"; do
  grep -qF -- "$line" <<<"$out" || { echo "FAIL create: no '$line' in:"; echo "$out"; failures=$((failures + 1)); }
done
expect "a method by bare name" "faults: zel.fault.InvalidLogin" "$zel" describe loginByToken
expect "a property getter" "value: zel.ServiceInstanceContent required" "$zel" describe zel.ServiceInstance.content
refuse "an ambiguous method" 1 "several types" "$zel" describe queryAtomFeedQsProviderIds
refuse "an unknown name" 1 "no type is named" "$zel" describe no.such.Thing
refuse "an unknown method" 1 "has no method" "$zel" describe ProfileManager.fly
refuse "no command" 2 "no command" "$zel"
refuse "an unknown command" 2 "unknown command" "$zel" frobnicate
for command in types describe wsdl call; do
  expect "$command --help" "^usage: zel $command" "$zel" "$command" --help
done
expect "--version" "^zel [0-9]" "$zel" --version
expect "the newest WSDL" 'soapAction="urn:zel/6\.7\.2"' "$zel" wsdl
expect "version2's WSDL" 'soapAction="urn:zel/2\.0"' "$zel" wsdl --api-version version2
refuse "an unknown version" 1 "no version" "$zel" wsdl --api-version version99

if [ "$failures" -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "all describe checks passed"
