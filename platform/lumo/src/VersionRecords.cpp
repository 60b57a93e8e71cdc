#include <Lumo/TypeInfoLoader.h>
#include <Lumo/VersionRecords.h>

namespace Lumo {

std::vector<const OlyxVersions*> AllVersionRecords() {
  std::vector<const OlyxVersions*> records;
  for (const LoaderRegistration& registration : GetLoaderRegistrations()) {
    if (registration.versions) records.push_back(registration.versions);
  }
  return records;
}

const OlyxVersion* FindVersionRecord(const std::string& name) {
  for (const OlyxVersions* record : AllVersionRecords()) {
    for (uint32_t i = 0; i < record->versionCount; ++i) {
      if (name == record->versions[i].name) return &record->versions[i];
    }
  }
  return nullptr;
}

std::unordered_set<std::string> VisibleVersions(const std::string& version) {
  std::unordered_set<std::string> names;
  if (FindVersionRecord(version) == nullptr) return names;
  names.insert(version);
  names.insert(kRuntimeBaseVersion);
  names.insert("");
  // Ancestors through every registered relation.
  std::vector<const OlyxVersions*> records = AllVersionRecords();
  std::vector<std::string> pending{version};
  while (!pending.empty()) {
    std::string current = pending.back();
    pending.pop_back();
    for (const OlyxVersions* record : records) {
      for (uint32_t i = 0; i < record->relationCount; ++i) {
        const OlyxVersionRelation& relation = record->relations[i];
        if (current == relation.version && names.insert(relation.parent).second) {
          pending.push_back(relation.parent);
        }
      }
    }
  }
  return names;
}

}  // namespace Lumo
