// API versions as the wire sees them: interned version names and the set of
// versions a call of one version may carry.
#pragma once

#include <Lumo/TypeInfo.h>
#include <Lumo/VersionRecords.h>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Lumo {
namespace Wire {
namespace Detail {

// A small integer per version name, stable for the life of the process.
int InternVersion(const char* name);
std::string VersionName(int id);

// Where a version sits in the registered version records.
struct VersionRecord {
  const OlyxVersion* version = nullptr;  // null when the name is not registered
};
VersionRecord FindVersion(const std::string& name);
// The registered version of a namespace with a version identifier ("zel", "2.0").
const OlyxVersion* FindVersionById(const std::string& ns, const std::string& versionId);

// The API namespace of a version ("zel" for "zel.version.version2"): the
// namespace its registered record declares, else the name's first component
// ("olyx" for the runtime's base version).
std::string NamespaceOfVersion(const char* versionName);
// The namespace a message of no particular version and type speaks: that of
// a registered version record on which no other record depends (the type
// library on top), the first registered when several qualify; the runtime's
// own ("olyx", that of its base version) in a program that loads no type
// library.
std::string PrimaryNamespace();
// True when a registered version record declares the namespace.
bool IsApiNamespace(std::string_view ns);

// The versions a call made for one version may carry: the version itself, its
// ancestors through the parent relations of every registered version record,
// and the runtime's base version. Empty name: every version.
class VersionFilter {
 public:
  // Throws a WireFormatFault (reason "version") for a name no registered
  // version record declares.
  explicit VersionFilter(const std::string& version);

  bool AcceptsAll() const { return _all; }
  bool Accepts(int id) const {
    if (_all) return true;
    if (id >= 0 && static_cast<size_t>(id) < _accepted.size()) return _accepted[id] != 0;
    return AcceptsSlow(id);
  }
  bool Accepts(const char* name) const;
  const std::string& GetVersion() const { return _version; }
  const OlyxVersion* GetRecord() const { return _record; }

 private:
  bool AcceptsSlow(int id) const;

  std::string _version;
  const OlyxVersion* _record = nullptr;
  bool _all = true;
  std::unordered_set<std::string> _names;
  std::vector<char> _accepted;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
