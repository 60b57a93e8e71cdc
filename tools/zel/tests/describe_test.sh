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
for command in types describe template wsdl call; do
  expect "$command --help" "^usage: zel $command" "$zel" "$command" --help
done

# A usage error is one line that names the command's help, and exit status 2.
usage_error() {  # usage_error NAME PATTERN ARGS...
  local name=$1 pattern=$2
  shift 2
  local err got
  err=$("$zel" "$@" 2>&1 >/dev/null)
  got=$?
  if [ "$got" -ne 2 ] || [ "$(wc -l <<<"$err")" -ne 1 ] || ! grep -qE -- "$pattern" <<<"$err"; then
    echo "FAIL $name: status $got, stderr:"; echo "$err"; failures=$((failures + 1))
  fi
}
usage_error "an unknown option" "^zel call: .*--colour.*; see 'zel call --help'$" \
  call --url http://127.0.0.1:1/zel --colour red ServiceInstance retrieveContent
usage_error "a missing --url" "^zel call: --url is required; see 'zel call --help'$" \
  call ServiceInstance retrieveContent
usage_error "a missing value" "^zel describe: .*--depth" describe create --depth
usage_error "a depth out of range" "^zel describe: .*--depth" describe create --depth=0
usage_error "an unknown version" "^zel call: unknown API version 9.9" \
  call --url=http://127.0.0.1:1/zel --api-version=9.9 ServiceInstance retrieveContent
usage_error "--insecure with --cacert" "takes no --cacert" \
  call --url=https://127.0.0.1:1/zel --insecure --cacert=x.pem ServiceInstance retrieveContent

# Short and full names alike; nested types to a depth; flags in words; the
# values a string holding an enumeration's values may take.
expect "a managed type by its short name" "^zel.profile.ProfileManager: managed object" \
  "$zel" describe ProfileManager
expect "a data type by its short name" "^zel.profile.ProfileId: data object" "$zel" describe ProfileId
expect "a method by type and name" "^zel.profile.ProfileManager.create: method" \
  "$zel" describe ProfileManager.create
expect "a method by name alone" "^zel.profile.ProfileManager.create: method" "$zel" describe create
expect "a method's flags in words" "^flags: 0x0 \(none: an ordinary method\)" "$zel" describe create
expect "a marked method's flags in words" "^flags: 0x100 \(marked in the schema" \
  "$zel" describe zel.ServiceInstance.getZelDebugManager
expect "a property's extra flag in words" "^value: zel.ServiceInstanceContent required, flags 0x4 " \
  "$zel" describe ServiceInstance.content
expect "a string's allowed values" \
  "objectType: string required, since zel.version.version1, one of: virtualMachine .* unknown \(zel.ServerObjectRef.ObjectType\)" \
  "$zel" describe ServerObjectRef
expect "allowed values of a package's enumeration" \
  "resourceType: string required, .*one of: STORAGE \(zel.profile.ResourceTypeEnum\)" \
  "$zel" describe zel.profile.ResourceType
out=$("$zel" describe create)
grep -q "^    name: " <<<"$out" && { echo "FAIL depth 1 shows nested properties"; failures=$((failures + 1)); }
out=$("$zel" describe create --depth=3)
for line in "    name: string required, since zel.version.version1" \
            "    resourceType: zel.profile.ResourceType required" \
            "      resourceType: string required, since zel.version.version1, one of: STORAGE"; do
  grep -qF -- "$line" <<<"$out" || { echo "FAIL depth 3: no '$line' in:"; echo "$out"; failures=$((failures + 1)); }
done

# A method's skeleton, by any of its names: assignments zel call takes.
out=$("$zel" template create)
for line in "createSpec.name=TEXT" "createSpec.description=TEXT  # optional" \
            "createSpec.resourceType.resourceType=STORAGE" \
            "createSpec.constraints@type=zel.profile.SubProfileCapabilityConstraints" \
            "createSpec.constraints.subProfiles[0].name=TEXT"; do
  grep -qxF -- "$line" <<<"$out" || { echo "FAIL template: no '$line' in:"; echo "$out"; failures=$((failures + 1)); }
done
[ "$("$zel" template ProfileManager.create)" = "$out" ] || { echo "FAIL template by TYPE.method"; failures=$((failures + 1)); }
expect "a shallow template" "^# createSpec.resourceType: a zel.profile.ResourceType, by its properties" \
  "$zel" template create --depth 1
expect "a template without arguments" "^# \(no arguments\)" "$zel" template ServiceInstance.retrieveContent
refuse "a template of an unknown method" 1 "no method is named fly" "$zel" template fly

# Bash completion, made from the same description, completes commands,
# options and files.
completion() {  # completion WORDS...: what the bash completion offers for the last word
  bash -c 'source <("$0" --generate-completion bash); COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
           _zel; printf "%s\n" "${COMPREPLY[@]}"' "$zel" "$@"
}
[ "$(completion zel des)" = "describe" ] || { echo "FAIL completion of a command"; failures=$((failures + 1)); }
grep -qx -- "--insecure" <<<"$(completion zel call --ins)" || { echo "FAIL completion of an option"; failures=$((failures + 1)); }
grep -qx -- "--timeout" <<<"$(completion zel call --url x --t)" || { echo "FAIL completion after a value"; failures=$((failures + 1)); }
[ -z "$(completion zel call --url '')" ] || { echo "FAIL completion of a URL"; failures=$((failures + 1)); }
"$zel" --generate-completion zsh | head -n 1 | grep -qx "#compdef zel" || { echo "FAIL zsh completion"; failures=$((failures + 1)); }
if command -v man >/dev/null; then
  page=$(MANWIDTH=100 man -l <("$zel" --generate-man) 2>&1)
  for text in "zel +- +A client for the zel API" "zel call \[OPTIONS\] OBJECT METHOD" "--insecure" \
              "Exit +status: +0 +answered"; do
    grep -qE -- "$text" <<<"$page" || { echo "FAIL man page: no '$text' in:"; echo "$page" | head -40; failures=$((failures + 1)); }
  done
fi
expect "--version" "^zel [0-9]" "$zel" --version
expect "the newest WSDL" 'soapAction="urn:zel/6\.7\.2"' "$zel" wsdl
expect "version2's WSDL" 'soapAction="urn:zel/2\.0"' "$zel" wsdl --api-version version2
refuse "an unknown version" 1 "no version" "$zel" wsdl --api-version version99

if [ "$failures" -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "all describe checks passed"
