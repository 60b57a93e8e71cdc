#include "Versions.h"

#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

struct Interned {
  std::mutex mutex;
  std::unordered_map<std::string, int> ids;
  std::deque<std::string> names;
};

Interned& TheInterned() {
  static Interned* interned = new Interned;  // never destroyed: ids outlive every user
  return *interned;
}

}  // namespace

int InternVersion(const char* name) {
  Interned& interned = TheInterned();
  std::lock_guard<std::mutex> lock(interned.mutex);
  std::string key = name ? name : "";
  auto it = interned.ids.find(key);
  if (it != interned.ids.end()) return it->second;
  int id = static_cast<int>(interned.names.size());
  interned.names.push_back(key);
  interned.ids.emplace(key, id);
  return id;
}

std::string VersionName(int id) {
  Interned& interned = TheInterned();
  std::lock_guard<std::mutex> lock(interned.mutex);
  if (id < 0 || static_cast<size_t>(id) >= interned.names.size()) return std::string();
  return interned.names[static_cast<size_t>(id)];
}

VersionRecord FindVersion(const std::string& name) {
  return VersionRecord{FindVersionRecord(name)};
}

const OlyxVersion* FindVersionById(const std::string& ns, const std::string& versionId) {
  for (const OlyxVersions* record : AllVersionRecords()) {
    for (uint32_t i = 0; i < record->versionCount; ++i) {
      const OlyxVersion& v = record->versions[i];
      if (ns == v.ns && versionId == v.versionId) return &v;
    }
  }
  return nullptr;
}

std::string NamespaceOfVersion(const char* versionName) {
  std::string name = versionName ? versionName : "";
  if (const OlyxVersion* record = FindVersion(name).version) {
    if (record->ns) return record->ns;
  }
  return name.substr(0, name.find('.'));
}

std::string PrimaryNamespace() {
  std::vector<const OlyxVersions*> records = AllVersionRecords();
  auto dependedUpon = [&](const char* ns) {
    for (const OlyxVersions* other : records) {
      for (uint32_t i = 0; i < other->dependencyCount; ++i) {
        if (other->dependencies[i] && std::strcmp(other->dependencies[i], ns) == 0) return true;
      }
    }
    return false;
  };
  for (const OlyxVersions* record : records) {
    if (record->versionCount > 0 && record->versions[0].ns &&
        !dependedUpon(record->versions[0].ns)) {
      return record->versions[0].ns;
    }
  }
  for (const OlyxVersions* record : records) {
    if (record->versionCount > 0 && record->versions[0].ns) return record->versions[0].ns;
  }
  return NamespaceOfVersion(kRuntimeBaseVersion);
}

bool IsApiNamespace(std::string_view ns) {
  for (const OlyxVersions* record : AllVersionRecords()) {
    for (uint32_t i = 0; i < record->versionCount; ++i) {
      if (record->versions[i].ns && ns == record->versions[i].ns) return true;
    }
  }
  return false;
}

VersionFilter::VersionFilter(const std::string& version) : _version(version) {
  if (version.empty()) return;
  _record = FindVersion(version).version;
  if (!_record) ThrowWireFault(Reason::kVersion, "", "unknown API version '" + version + "'");
  _all = false;

  _names = VisibleVersions(version);

  // A table over the ids interned so far; later ids take the slow path.
  Interned& interned = TheInterned();
  std::lock_guard<std::mutex> lock(interned.mutex);
  _accepted.resize(interned.names.size());
  for (size_t id = 0; id < interned.names.size(); ++id) {
    _accepted[id] = _names.count(interned.names[id]) ? 1 : 0;
  }
}

bool VersionFilter::Accepts(const char* name) const {
  if (_all) return true;
  return _names.count(name ? name : "") != 0;
}

bool VersionFilter::AcceptsSlow(int id) const { return _names.count(VersionName(id)) != 0; }

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
