#include "VersionFilter.h"

#include <Lumo/Json/Error.h>
#include <Lumo/TypeInfoLoader.h>

#include <vector>

namespace Lumo {
namespace Json {
namespace Detail {

namespace {

constexpr const char* kBaseVersion = "olyx.version.version0";

std::vector<const OlyxVersions*> AllVersionRecords() {
  std::vector<const OlyxVersions*> records;
  for (const LoaderRegistration& registration : GetLoaderRegistrations()) {
    if (registration.versions) records.push_back(registration.versions);
  }
  return records;
}

bool IsRegistered(const std::vector<const OlyxVersions*>& records, const std::string& name) {
  for (const OlyxVersions* record : records) {
    for (uint32_t i = 0; i < record->versionCount; ++i) {
      if (name == record->versions[i].name) return true;
    }
  }
  return false;
}

}  // namespace

VersionFilter::VersionFilter(const std::string& version) : _version(version) {
  if (version.empty()) return;
  std::vector<const OlyxVersions*> records = AllVersionRecords();
  if (!IsRegistered(records, version)) {
    throw Error(Reason::kVersion, "", "unknown API version '" + version + "'");
  }
  _all = false;
  _names.insert(version);
  _names.insert(kBaseVersion);
  _names.insert("");  // a record without a version belongs to every version
  // Ancestors through every registered relation.
  std::vector<std::string> pending{version};
  while (!pending.empty()) {
    std::string current = pending.back();
    pending.pop_back();
    for (const OlyxVersions* record : records) {
      for (uint32_t i = 0; i < record->relationCount; ++i) {
        const OlyxVersionRelation& relation = record->relations[i];
        if (current == relation.version && _names.insert(relation.parent).second) {
          pending.push_back(relation.parent);
        }
      }
    }
  }
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
