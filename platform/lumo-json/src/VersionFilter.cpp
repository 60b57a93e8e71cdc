#include "VersionFilter.h"

#include <Lumo/Json/Error.h>
#include <Lumo/VersionRecords.h>

namespace Lumo {
namespace Json {
namespace Detail {

VersionFilter::VersionFilter(const std::string& version) : _version(version) {
  if (version.empty()) return;
  _names = VisibleVersions(version);
  if (_names.empty()) throw Error(Reason::kVersion, "", "unknown API version '" + version + "'");
  _all = false;
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
