#include "ApiModel.h"

#include <Lumo/Type.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Wsdl.h>

namespace Lumo {
namespace Wire {
namespace Detail {

ApiModel::ApiModel(const std::string& version, const std::string& ns) : _version(version) {
  if (!version.empty()) {
    _filters.push_back(std::make_unique<VersionFilter>(version));
    _ns = _filters.back()->GetRecord()->ns ? _filters.back()->GetRecord()->ns : "";
    if (!ns.empty() && ns != _ns) {
      ThrowWireFault(Reason::kVersion, "",
                     version + " is a version of '" + _ns + "', not '" + ns + "'");
    }
  } else {
    _ns = ns;
    for (const ApiVersion& v : ListApiVersions()) {
      if (v.ns == ns) _filters.push_back(std::make_unique<VersionFilter>(v.name));
    }
    if (_filters.empty()) ThrowWireFault(Reason::kVersion, "", "no API versions of '" + ns + "'");
  }
  if (_ns.empty()) ThrowWireFault(Reason::kVersion, "", "the version record names no namespace");
  _tns = "urn:" + _ns;
  CollectTypes();
  CollectOperations();
}

bool ApiModel::Accepts(int versionId) const {
  for (const auto& filter : _filters) {
    if (filter->Accepts(versionId)) return true;
  }
  return false;
}

bool ApiModel::Carries(const Slot& slot) const {
  return Accepts(slot.versionId) && slot.kind != Kind::kUnresolved && Has(slot.plan);
}

std::vector<const Slot*> ApiModel::OwnProperties(const TypePlan& plan) const {
  std::vector<const Slot*> own;
  if (!plan.data) return own;
  const DataTypeInfo* info = plan.data->GetInfo();
  for (const Slot& slot : plan.props) {
    if (slot.owner == info && Carries(slot)) own.push_back(&slot);
  }
  return own;
}

void ApiModel::CollectTypes() {
  std::vector<const TypePlan*> all;
  for (const Type* type : GetAllTypes()) {
    if (const TypePlan* plan = TypeTable::ForType(type)) all.push_back(plan);
  }
  for (const TypePlan* plan : all) {
    if (plan->complete && plan->kind != Kind::kUnresolved && Accepts(plan->versionId)) {
      _included.insert(plan);
    }
  }
  // A type describes its bases' properties through them: the bases belong
  // in, whatever their version.
  for (const TypePlan* plan : all) {
    if (!_included.count(plan) || !plan->data) continue;
    for (const DataObjectType* base = plan->data->GetBase(); base; base = base->GetBase()) {
      if (const TypePlan* b = TypeTable::ForType(base)) _included.insert(b);
    }
  }
  // Enumeration values are written without a version check: an enumeration
  // that a carried property or parameter names travels with it.
  auto addEnum = [&](const Slot& slot) {
    if (slot.kind == Kind::kEnum && slot.plan && Accepts(slot.versionId)) {
      _included.insert(slot.plan);
    }
  };
  for (const TypePlan* plan : all) {
    if (!_included.count(plan)) continue;
    for (const Slot& slot : plan->props) addEnum(slot);
    for (const MethodPlan& m : plan->methods) {
      for (const Slot& p : m.params) addEnum(p);
      if (m.hasResult) addEnum(m.result);
    }
  }
  for (const TypePlan* plan : all) {
    if (_included.count(plan)) _types.push_back(plan);
  }
}

const TypePlan* ApiModel::AsSent(const TypePlan* fault) const {
  // The codec sends a fault newer than the version as its nearest base the
  // version has.
  while (fault && !Accepts(fault->versionId) && fault->data && fault->data->GetBase()) {
    fault = TypeTable::ForType(fault->data->GetBase());
  }
  return Has(fault) ? fault : nullptr;
}

void ApiModel::CollectOperations() {
  Options options;
  options.version = _version;
  Codec codec(options);
  for (const TypePlan* plan : _types) {
    if (!plan->managed) continue;
    for (const MethodPlan& m : plan->methods) {
      if (!m.method || m.method->IsProperty() || !Accepts(m.versionId)) continue;
      ApiOperation op;
      op.method = &m;
      op.action = codec.GetAction(m.method);
      for (const Slot& p : m.params) {
        if (Carries(p)) op.params.push_back(&p);
      }
      if (m.hasResult && Carries(m.result)) op.result = &m.result;
      if (const MethodInfo* info = m.method->GetMethodInfo()) {
        for (const TypeInfo* const* f = info->faults; f && *f; ++f) {
          const TypePlan* sent = AsSent(TypeTable::ForTypeName((*f)->name));
          bool seen = false;
          for (const TypePlan* known : op.faults) seen = seen || known == sent;
          if (sent && !seen) op.faults.push_back(sent);
        }
      }
      _operations.push_back(std::move(op));
    }
  }
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
