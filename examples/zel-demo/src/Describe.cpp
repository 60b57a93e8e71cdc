#include "Describe.h"

#include <Lumo/Primitive.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/ServerObjectRef.h>

namespace ZelDemo {
namespace Detail {

std::string Describe(const Lumo::Any* value) {
  if (value == nullptr) return "(none)";
  if (auto* i = dynamic_cast<const Lumo::Primitive<int32_t>*>(value)) {
    return std::to_string(i->GetValue());
  }
  if (auto* l = dynamic_cast<const Lumo::Primitive<int64_t>*>(value)) {
    return std::to_string(l->GetValue());
  }
  if (auto* b = dynamic_cast<const Lumo::Primitive<bool>*>(value)) {
    return b->GetValue() ? "true" : "false";
  }
  if (auto* s = dynamic_cast<const Lumo::Primitive<std::string>*>(value)) {
    return "\"" + s->GetValue() + "\"";
  }
  if (auto* range = dynamic_cast<const Zel::Capability::Types::Range*>(value)) {
    return Describe(range->GetMin()) + ".." + Describe(range->GetMax());
  }
  if (auto* set = dynamic_cast<const Zel::Capability::Types::DiscreteSet*>(value)) {
    std::string text = "{";
    const auto* values = set->GetPtrValues();
    for (int i = 0; values != nullptr && i < values->GetLength(); ++i) {
      text += (i ? ", " : "") + Describe(values->GetAt(i));
    }
    return text + "}";
  }
  return value->_GetType()->GetName();
}

std::string Describe(const Zel::Capability::CapabilityInstance& capability) {
  std::string text;
  const auto* constraints = capability.GetPtrConstraint();
  for (int c = 0; constraints != nullptr && c < constraints->GetLength(); ++c) {
    if (c > 0) text += " or ";
    const auto* properties = constraints->Get(c)->GetPtrPropertyInstance();
    for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
      const auto* property = properties->Get(p);
      if (p > 0) text += " and ";
      const Lumo::Any* value = property->GetValue();
      bool many = dynamic_cast<const Zel::Capability::Types::Range*>(value) != nullptr ||
                  dynamic_cast<const Zel::Capability::Types::DiscreteSet*>(value) != nullptr;
      const std::string* op = property->PeekOperator();
      text += property->GetId() + (op ? " " + *op : "") + (many ? " in " : " = ") + Describe(value);
    }
  }
  return text;
}

std::string Describe(const Zel::ServerObjectRef& entity) {
  return entity.GetKey() + " (" + entity.GetObjectType() + ")";
}

}  // namespace Detail
}  // namespace ZelDemo
