#include "TypeTable.h"

#include <Kestrum/DateTime.h>
#include <Lumo/Any.h>
#include <Lumo/MoRef.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/TypeName.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "Versions.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

struct Snapshot {
  size_t typeCount = 0;
  std::vector<std::unique_ptr<TypePlan>> plans;
  std::unordered_map<const Type*, const TypePlan*> byType;
  std::unordered_map<std::string_view, const TypePlan*> byName;
  std::unordered_map<std::string_view, const TypePlan*> byManagedWsdl;
  // xsi:type names by local name: XML Schema built-ins, and API types.
  std::unordered_map<std::string_view, XsiShape> byXsdName;
  std::unordered_map<std::string_view, XsiShape> byApiName;
  const TypePlan* any = nullptr;
  const TypePlan* moRef = nullptr;
};

std::mutex gBuildMutex;
std::atomic<const Snapshot*> gCurrent{nullptr};
// Every snapshot ever published stays reachable: readers may hold its plans.
std::vector<const Snapshot*>* gAllSnapshots = new std::vector<const Snapshot*>;

// The names of the runtime's primitives: as xsi:type, and as array items.
struct PrimitiveName {
  Kind kind;
  const char* xsi;
  const char* item;
};

const PrimitiveName kPrimitives[] = {
    {Kind::kString, "xsd:string", "string"},
    {Kind::kBool, "xsd:boolean", "boolean"},
    {Kind::kInt, "xsd:int", "int"},
    {Kind::kLong, "xsd:long", "long"},
    {Kind::kDouble, "xsd:double", "double"},
    {Kind::kDateTime, "xsd:dateTime", "dateTime"},
    {Kind::kTypeName, "TypeName", "TypeName"},
    {Kind::kAny, "xsd:anyType", "anyType"},
    {Kind::kMoRef, "ManagedObjectReference", "ManagedObjectReference"},
};

std::string Attr(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + value + "\"";
}

class Builder {
 public:
  explicit Builder(Snapshot& s) : _s(s) {}

  void Build() {
    GetDoType<WireFormatFault>();  // the runtime's own wire fault is always known
    std::vector<Type*> all = GetAllTypes();
    _s.typeCount = all.size();
    for (Type* type : all) {
      _infoToType.emplace(type->GetTypeInfo(), type);
      auto plan = std::make_unique<TypePlan>();
      plan->type = type;
      _s.byType.emplace(type, plan.get());
      _s.plans.push_back(std::move(plan));
    }
    for (auto& plan : _s.plans) Describe(*plan);
    for (auto& plan : _s.plans) {
      if (plan->data) FillProperties(*plan);
      if (plan->managed) FillMethods(*plan);
    }
    for (auto& plan : _s.plans) {
      if (plan->managed) IndexMethods(*plan);
    }
    for (auto& plan : _s.plans) Index(*plan);
  }

 private:
  struct VersionNamespace {
    std::string uri;  // "urn:zel"
    bool api = false;
  };

  // The namespace of a version, looked up once per version: each look-up
  // searches every registered version record, and types share a few versions.
  const VersionNamespace& NamespaceOf(const char* version) {
    std::string name = version ? version : "";
    auto it = _namespaces.find(name);
    if (it == _namespaces.end()) {
      std::string ns = NamespaceOfVersion(version);
      it = _namespaces.emplace(std::move(name), VersionNamespace{"urn:" + ns, IsApiNamespace(ns)})
               .first;
    }
    return it->second;
  }

  TypePlan* PlanOf(const Type* type) {
    auto it = _s.byType.find(type);
    return it == _s.byType.end() ? nullptr : const_cast<TypePlan*>(it->second);
  }

  const Type* Resolve(const TypeInfo* info) {
    auto it = _infoToType.find(info);
    return it == _infoToType.end() ? nullptr : it->second;
  }

  void Describe(TypePlan& plan) {
    const Type* type = plan.type;
    plan.version = type->GetVersion();
    plan.versionId = InternVersion(plan.version);
    const VersionNamespace& ns = NamespaceOf(plan.version);
    plan.uri = ns.uri;
    plan.apiNamespace = ns.api;
    std::string item;
    if (type->IsPrimitive()) {
      plan.kind = ValueKindOf(type);
      for (const PrimitiveName& p : kPrimitives) {
        if (p.kind == plan.kind) {
          plan.xsiName = p.xsi;
          item = p.item;
        }
      }
      if (plan.kind == Kind::kAny) _s.any = &plan;
      if (plan.kind == Kind::kMoRef) _s.moRef = &plan;
      if (plan.kind == Kind::kUnresolved) plan.complete = false;
    } else {
      plan.xsiName = type->GetWsdlName();
      item = plan.xsiName;
      if (type->IsEnum()) {
        plan.kind = Kind::kEnum;
        plan.enumType = static_cast<const EnumType*>(type);
      } else if (type->IsDataObject()) {
        plan.kind = Kind::kData;
        plan.data = static_cast<const DataObjectType*>(type);
      } else if (type->IsManagedObject()) {
        plan.kind = Kind::kMoRef;
        plan.managed = static_cast<const ManagedObjectType*>(type);
        plan.typeAttr = Attr("type", type->GetWsdlName());
      } else {
        plan.complete = false;
      }
    }
    plan.xsiAttr = Attr("xsi:type", plan.xsiName);
    if (Type* array = type->GetArrayType()) {
      plan.arrayXsiName = array->GetWsdlName();
      plan.arrayXsiAttr = Attr("xsi:type", plan.arrayXsiName);
    }
    plan.itemOpen = "<" + item;
    plan.itemClose = "</" + item + ">";
  }

  // The slot of a property, parameter or result typed by a record.
  void FillSlot(Slot& slot, const char* name, const TypeInfo* info, uint32_t flags,
                const char* version) {
    slot.name = name;
    slot.nameLength = std::strlen(name);
    slot.array = (flags & kFlagArray) != 0;
    slot.optional = (flags & kFlagOptional) != 0;
    slot.version = version;
    slot.versionId = InternVersion(version);
    slot.open = std::string("<") + name;
    slot.close = std::string("</") + name + ">";
    const Type* type = info ? Resolve(info) : nullptr;
    if (info == &gManagedObjectReferenceTypeInfo && !type) type = GetNoType<MoRef>();
    slot.plan = type ? PlanOf(type) : nullptr;
    slot.kind = slot.plan ? slot.plan->kind : Kind::kUnresolved;
  }

  void FillProperties(TypePlan& plan) {
    std::vector<const DataObjectType*> chain;
    for (const DataObjectType* t = plan.data; t; t = t->GetBase()) chain.push_back(t);
    // A base record that has no type yet: the chain stops short.
    const DataTypeInfo* top = chain.back()->GetInfo();
    if (top->parent != nullptr) plan.complete = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const DataTypeInfo* info = (*it)->GetInfo();
      for (int i = 0; i < (*it)->GetPropertyCount(); ++i) {
        const PropInfo& p = info->properties[i];
        Slot slot;
        FillSlot(slot, p.name, p.type, p.flags, p.version);
        slot.owner = info;
        slot.index = i;
        if (slot.kind == Kind::kUnresolved) plan.complete = false;
        plan.props.push_back(std::move(slot));
      }
    }
    plan.propIndex = IndexOf(plan.props);
  }

  static NameIndex IndexOf(const std::vector<Slot>& slots) {
    std::vector<std::string_view> names;
    for (const Slot& slot : slots) names.emplace_back(slot.name);
    return NameIndex(names);
  }

  void FillMethods(TypePlan& plan) {
    const ManagedObjectType* type = plan.managed;
    const ManagedTypeInfo* info = type->GetInfo();
    int count = type->GetMethodObjectCount();
    plan.methods.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      MethodPlan& m = plan.methods[static_cast<size_t>(i)];
      const ManagedMethod* method = type->GetMethod(i);
      m.method = method;
      if (!method) continue;
      m.wsdl = method->GetWsdlName();
      m.version = method->GetVersion();
      m.versionId = InternVersion(m.version);
      m.uri = plan.uri;
      if (const MethodInfo* mi = method->GetMethodInfo()) {
        for (const ParamInfo* p = mi->parameters; p && p->name; ++p) {
          Slot slot;
          FillSlot(slot, p->name, p->type, p->flags, p->version);
          m.params.push_back(std::move(slot));
        }
        m.hasResult = mi->result.type != nullptr;
        if (m.hasResult) {
          FillSlot(m.result, "returnval", mi->result.type, mi->result.flags, mi->result.version);
        }
      } else if (const PropInfo* p = method->GetPropInfo()) {
        m.hasResult = true;
        FillSlot(m.result, "returnval", p->type, p->flags, p->version);
      }
      (void)info;
      m.paramIndex = IndexOf(m.params);
      if (m.hasResult) m.resultIndex = NameIndex({m.result.name});
      m.requestOpen = "<" + m.wsdl;
      m.requestClose = "</" + m.wsdl + ">";
      m.responseName = m.wsdl + "Response";
      m.responseOpen = "<" + m.responseName;
      m.responseClose = "</" + m.responseName + ">";
    }
  }

  void IndexMethods(TypePlan& plan) {
    for (const ManagedObjectType* t = plan.managed; t; t = t->GetBase()) {
      TypePlan* level = PlanOf(t);
      if (!level) continue;
      for (const MethodPlan& m : level->methods) {
        if (m.method) plan.methodsByWsdl.emplace(m.wsdl, &m);
      }
    }
  }

  void Index(const TypePlan& plan) {
    _s.byName.emplace(plan.type->GetName(), &plan);
    if (plan.managed) _s.byManagedWsdl.emplace(plan.type->GetWsdlName(), &plan);
    constexpr std::string_view kXsdPrefix = "xsd:";
    std::string_view xsi = plan.xsiName;
    if (xsi.substr(0, kXsdPrefix.size()) == kXsdPrefix) {
      _s.byXsdName.emplace(xsi.substr(kXsdPrefix.size()), XsiShape{&plan, false});
    } else if (!xsi.empty()) {
      _s.byApiName.emplace(xsi, XsiShape{&plan, false});
    }
    if (!plan.arrayXsiName.empty()) _s.byApiName.emplace(plan.arrayXsiName, XsiShape{&plan, true});
  }

  Snapshot& _s;
  std::unordered_map<const TypeInfo*, const Type*> _infoToType;
  std::unordered_map<std::string, VersionNamespace> _namespaces;
};

const Snapshot* Current() {
  const Snapshot* s = gCurrent.load(std::memory_order_acquire);
  if (s) return s;
  std::lock_guard<std::mutex> lock(gBuildMutex);
  s = gCurrent.load(std::memory_order_acquire);
  if (s) return s;
  auto* built = new Snapshot;
  Builder(*built).Build();
  gAllSnapshots->push_back(built);
  gCurrent.store(built, std::memory_order_release);
  return built;
}

// After a miss: builds anew when the runtime has created types since.
const Snapshot* Refreshed(const Snapshot* seen) {
  if (GetAllTypes().size() == seen->typeCount) return nullptr;
  std::lock_guard<std::mutex> lock(gBuildMutex);
  const Snapshot* s = gCurrent.load(std::memory_order_acquire);
  if (s != seen) return s;
  auto* built = new Snapshot;
  Builder(*built).Build();
  gAllSnapshots->push_back(built);
  gCurrent.store(built, std::memory_order_release);
  return built;
}

template <class Map, class Key>
auto Lookup(const Map Snapshot::*map, const Key& key) -> typename Map::mapped_type {
  const Snapshot* s = Current();
  for (;;) {
    auto it = (s->*map).find(key);
    if (it != (s->*map).end()) return it->second;
    s = Refreshed(s);
    if (!s) return typename Map::mapped_type{};
  }
}

}  // namespace

const TypePlan* TypeTable::ForType(const Type* type) {
  if (!type) return nullptr;
  return Lookup(&Snapshot::byType, type);
}

const TypePlan* TypeTable::ForTypeName(std::string_view wireName) {
  return Lookup(&Snapshot::byName, wireName);
}

const TypePlan* TypeTable::ForManagedWsdl(std::string_view wsdlName) {
  return Lookup(&Snapshot::byManagedWsdl, wsdlName);
}

XsiShape TypeTable::ForXsiType(bool builtIn, std::string_view local) {
  return builtIn ? Lookup(&Snapshot::byXsdName, local) : Lookup(&Snapshot::byApiName, local);
}

const TypePlan* TypeTable::AnyPlan() { return Current()->any; }
const TypePlan* TypeTable::MoRefPlan() { return Current()->moRef; }

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
