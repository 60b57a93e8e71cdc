// What an API version consists of on the wire, taken from the wire's type
// plans: the types, properties, operations, parameters and faults that the
// codec of that version writes and reads. The description documents (WSDL
// and schema) are written from it.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "TypeTable.h"
#include "Versions.h"

namespace Lumo {
namespace Wire {
namespace Detail {

struct ApiOperation {
  const MethodPlan* method = nullptr;
  std::string action;                   // the SOAP action, the codec's
  std::vector<const Slot*> params;      // in order, those the version has
  const Slot* result = nullptr;         // null: no result
  std::vector<const TypePlan*> faults;  // declared faults as the version sends them
};

class ApiModel {
 public:
  // version: a full version name, or empty for every version of ns. Throws a
  // WireFormatFault (reason "version") for an unknown version or namespace.
  ApiModel(const std::string& version, const std::string& ns);

  const std::string& GetNamespace() const { return _ns; }         // "zel"
  const std::string& GetTargetNamespace() const { return _tns; }  // "urn:zel"
  const std::string& GetVersion() const { return _version; }

  // Every type the messages may carry, in the runtime's creation order:
  // primitives, enumerations, data objects and faults, managed types.
  const std::vector<const TypePlan*>& GetTypes() const { return _types; }
  bool Has(const TypePlan* plan) const { return plan && _included.count(plan) != 0; }
  // The properties of a data type's own level that the version writes: own
  // properties accepted by the version whose type the messages may carry.
  std::vector<const Slot*> OwnProperties(const TypePlan& plan) const;
  const std::vector<ApiOperation>& GetOperations() const { return _operations; }

 private:
  bool Accepts(int versionId) const;
  bool Carries(const Slot& slot) const;
  void CollectTypes();
  void CollectOperations();
  const TypePlan* AsSent(const TypePlan* fault) const;

  std::string _ns, _tns, _version;
  std::vector<const TypePlan*> _types;
  std::unordered_set<const TypePlan*> _included;
  std::vector<ApiOperation> _operations;
  std::vector<std::unique_ptr<VersionFilter>> _filters;  // one of them accepts
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
