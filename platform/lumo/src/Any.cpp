// Any, the root of every runtime value, and Collection.
#include <Kestrum/Exception.h>
#include <Lumo/Any.h>
#include <Lumo/Collection.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/TypeInfoLoader.h>

#include <typeinfo>

namespace Lumo {

Any::~Any() = default;

std::string Any::ToString() const {
  // Rendering needs the types; generated type accessors stop the process
  // before the start, so fall back to the class name until then.
  if (!TypeInfoLoader::_versionInfoIsAvailable) return Kestrum::DemangleClassName(typeid(*this));
  return SerializeToText(this);
}

Collection::~Collection() = default;

}  // namespace Lumo
