// API versions as the registered loaders declare them: the records, and the
// versions a message for one version may carry.
#pragma once

#include <Lumo/TypeInfo.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace Lumo {

// The runtime's own version, an ancestor of every API version.
inline constexpr const char* kRuntimeBaseVersion = "olyx.version.version0";

// The version records of every registered loader, in registration order.
std::vector<const OlyxVersions*> AllVersionRecords();
// The record of a version name; null when no registered record declares it.
const OlyxVersion* FindVersionRecord(const std::string& name);

// The version names a message for a registered version may carry: the
// version itself, its ancestors through the parent relations of every
// registered version record, the runtime's base version, and "" (a record
// without a version belongs to every version). Empty for a name no
// registered record declares.
std::unordered_set<std::string> VisibleVersions(const std::string& version);

}  // namespace Lumo
