#include "TypeModel.h"

#include <Kestrum/DateTime.h>
#include <Lumo/Any.h>
#include <Lumo/MoRef.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/TypeName.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Lumo {
namespace Json {
namespace Detail {

namespace {

struct Plans {
  std::mutex mutex;
  std::unordered_map<const DataObjectType*, std::unique_ptr<DataPlan>> byType;
};

Plans& ThePlans() {
  static Plans* plans = new Plans;  // never destroyed: plans outlive every user
  return *plans;
}

const Type* TypeOfInfo(const TypeInfo* info) {
  if (!info) return nullptr;
  if (info == &gManagedObjectReferenceTypeInfo) return GetNoType<MoRef>();
  const Type* type = FindTypeByName(info->name);
  return type && type->GetTypeInfo() == info ? type : nullptr;
}

}  // namespace

Slot MakeSlot(const char* name, const TypeInfo* info, uint32_t flags, const char* version) {
  Slot slot;
  slot.name = name;
  slot.type = TypeOfInfo(info);
  slot.kind = ValueKindOf(slot.type);
  slot.array = (flags & kFlagArray) != 0;
  slot.optional = (flags & kFlagOptional) != 0;
  slot.version = version;
  return slot;
}

int DataPlan::Find(std::string_view name) const {
  for (size_t i = 0; i < props.size(); ++i) {
    if (name == props[i].name) return static_cast<int>(i);
  }
  return -1;
}

const DataPlan& PlanOf(const DataObjectType* type) {
  Plans& plans = ThePlans();
  std::lock_guard<std::mutex> lock(plans.mutex);
  auto it = plans.byType.find(type);
  // An incomplete plan is built again: the missing types may exist by now.
  if (it != plans.byType.end() && it->second->complete) return *it->second;
  auto plan = std::make_unique<DataPlan>();
  plan->type = type;
  std::vector<const DataObjectType*> chain;
  for (const DataObjectType* t = type; t; t = t->GetBase()) chain.push_back(t);
  // A base record whose type is not created yet: the chain stops short.
  if (chain.back()->GetInfo()->parent != nullptr) plan->complete = false;
  for (auto level = chain.rbegin(); level != chain.rend(); ++level) {
    const DataTypeInfo* info = (*level)->GetInfo();
    for (int i = 0; i < (*level)->GetPropertyCount(); ++i) {
      const PropInfo& p = info->properties[i];
      Slot slot = MakeSlot(p.name, p.type, p.flags, p.version);
      slot.owner = info;
      slot.index = i;
      if (slot.kind == Kind::kUnresolved) plan->complete = false;
      plan->props.push_back(slot);
    }
  }
  const DataPlan& built = *plan;
  if (it != plans.byType.end()) {
    // Whoever holds the older plan keeps it: park it instead of freeing it.
    static auto* retired = new std::vector<std::unique_ptr<DataPlan>>;
    retired->push_back(std::move(it->second));
    it->second = std::move(plan);
  } else {
    plans.byType.emplace(type, std::move(plan));
  }
  return built;
}

const Type* TypeNamed(std::string_view name) {
  constexpr std::string_view kArray = "[]";
  if (name.size() > kArray.size() && name.substr(name.size() - kArray.size()) == kArray) {
    const Type* element = TypeNamed(name.substr(0, name.size() - kArray.size()));
    return element ? element->GetArrayType() : nullptr;
  }
  return FindTypeByName(std::string(name));
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
