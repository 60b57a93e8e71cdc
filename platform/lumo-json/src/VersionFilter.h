// The versions a document for one API version may carry: the version itself,
// its ancestors through the parent relations of every registered version
// record, and the runtime's base version. Empty name: every version.
#pragma once

#include <string>
#include <unordered_set>

namespace Lumo {
namespace Json {
namespace Detail {

class VersionFilter {
 public:
  // Throws Error (kVersion) for a name no registered version record declares.
  explicit VersionFilter(const std::string& version);

  bool Accepts(const char* name) const { return _all || _names.count(name ? name : "") != 0; }
  const std::string& GetVersion() const { return _version; }

 private:
  std::string _version;
  bool _all = true;
  std::unordered_set<std::string> _names;
};

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
