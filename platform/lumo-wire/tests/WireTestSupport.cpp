#include "WireTestSupport.h"

#include <Kestrum/DateTime.h>

#include <map>
#include <mutex>
#include <typeinfo>

namespace WireTest {

void StartRuntime() {
  static std::once_flag once;
  std::call_once(once, [] { Lumo::StartRuntime(); });
}

std::vector<const Lumo::Type*> ZelTypes() {
  std::vector<const Lumo::Type*> out;
  for (const auto& reg : Lumo::GetLoaderRegistrations()) {
    if (reg.name == "zel") out.insert(out.end(), reg.types.begin(), reg.types.end());
  }
  return out;
}

const Lumo::Type* TypeNamed(const std::string& wireName) { return Lumo::FindTypeByName(wireName); }

const Lumo::DataObjectType* DataTypeNamed(const std::string& wireName) {
  return dynamic_cast<const Lumo::DataObjectType*>(TypeNamed(wireName));
}

const Lumo::ManagedObjectType* ManagedTypeNamed(const std::string& wireName) {
  return dynamic_cast<const Lumo::ManagedObjectType*>(TypeNamed(wireName));
}

namespace {

constexpr int kFullDepth = 3;  // deeper, only what is required
constexpr int kMaxDepth = 12;

// Every created data object type, by base: the types derived from each.
std::vector<const Lumo::DataObjectType*> Subtypes(const Lumo::DataObjectType* base) {
  std::vector<const Lumo::DataObjectType*> out;
  for (Lumo::Type* t : Lumo::GetAllTypes()) {
    auto* d = dynamic_cast<const Lumo::DataObjectType*>(t);
    if (d && d != base && d->IsA(base) && d->GetInfo()->createInstance) out.push_back(d);
  }
  return out;
}

std::vector<const Lumo::EnumType*> Enums() {
  std::vector<const Lumo::EnumType*> out;
  for (const Lumo::Type* t : ZelTypes()) {
    if (t->IsEnum()) out.push_back(static_cast<const Lumo::EnumType*>(t));
  }
  return out;
}

}  // namespace

std::string Filler::Text(const char* hint) {
  // Characters that need escaping, non-ASCII text and blanks.
  static const char* const kExtras[] = {"", " <&> \"quoted\" 'single'", " caf\xC3\xA9 \xE2\x82\xAC",
                                        "\ttab\nline\r\nend", " \xF0\x9D\x84\x9E ]]>"};
  uint32_t n = Next();
  return std::string(hint) + "-" + std::to_string(n) + kExtras[n % 5];
}

Kestrum::Ref<Lumo::Any> Filler::Reference(const Lumo::Type* managed) {
  const char* name = managed ? managed->GetName() : "zel.ServiceInstance";
  return Kestrum::Ref<Lumo::Any>(new Lumo::MoRef(name, "obj-" + std::to_string(Next())));
}

Kestrum::Ref<Lumo::Any> Filler::Derived(const Lumo::DataObjectType* type, int depth) {
  std::vector<const Lumo::DataObjectType*> candidates{type};
  if (depth < kFullDepth) {
    for (auto* s : Subtypes(type)) candidates.push_back(s);
  }
  const Lumo::DataObjectType* chosen = candidates[Next() % candidates.size()];
  Kestrum::Ref<Lumo::Any> probe(chosen->CreateInstance());
  if (!probe) chosen = type;
  return Object(chosen, depth);
}

Kestrum::Ref<Lumo::Any> Filler::AnyValue(int depth) {
  using namespace Lumo;
  uint32_t pick = Next() % (depth < kFullDepth ? 19 : 9);
  switch (pick) {
    case 0:
      return Kestrum::Ref<Any>(new Primitive<std::string>(Text("any")));
    case 1:
      return Kestrum::Ref<Any>(new Primitive<int32_t>(-7 - static_cast<int32_t>(Next())));
    case 2:
      return Kestrum::Ref<Any>(new Primitive<int64_t>((int64_t{1} << 40) + Next()));
    case 3:
      return Kestrum::Ref<Any>(BoxBool(Next() % 2 == 0));
    case 4:
      return Kestrum::Ref<Any>(new Primitive<double>(0.1 * Next()));
    case 5:
      return Kestrum::Ref<Any>(new Primitive<Kestrum::System::DateTime>(
          Kestrum::System::DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 250 + Next(), 60)));
    case 6:
      return Kestrum::Ref<Any>(new Primitive<TypeName>(TypeName{"zel.AboutInfo"}));
    case 7:
      return Reference(TypeNamed("zel.profile.ProfileManager"));
    case 8:
      return Kestrum::Ref<Any>(new Array<std::string>({Text("s"), "", Text("t")}));
    case 9:
      return Kestrum::Ref<Any>(new Array<int32_t>({1, -2, 2147483647}));
    case 10: {
      auto mixed = Kestrum::MakeRef<DataArray<Any>>();
      mixed->Append(AnyValue(depth + 1).Get());
      mixed->Append(AnyValue(depth + 1).Get());
      return Kestrum::Ref<Any>(mixed.Get());
    }
    case 11: {
      std::vector<const Type*> types = ZelTypes();
      std::vector<const DataObjectType*> data;
      for (auto* t : types) {
        if (t->IsDataObject()) data.push_back(static_cast<const DataObjectType*>(t));
      }
      return Object(data[Next() % data.size()], depth + 1);
    }
    case 12: {
      auto enums = Enums();
      const EnumType* e = enums[Next() % enums.size()];
      return Kestrum::Ref<Any>(
          e->GetFuncs().boxValue(static_cast<int>(Next()) % e->GetValueCount()));
    }
    case 13: {
      auto enums = Enums();
      const EnumType* e = enums[Next() % enums.size()];
      auto strings = Kestrum::MakeRef<Array<std::string>>();
      strings->Append(e->ToWireString(e->GetValueCount() - 1));
      strings->Append(e->ToWireString(0));
      return Kestrum::Ref<Any>(e->GetFuncs().fromStringArray(strings.Get(), e));
    }
    case 14: {
      const DataObjectType* t = DataTypeNamed("zel.profile.ProfileId");
      Kestrum::Ref<Any> array(t->CreateArray());
      static_cast<DataArrayBase*>(array.Get())->Append(Object(t, depth + 1).Get());
      static_cast<DataArrayBase*>(array.Get())->Append(Object(t, depth + 1).Get());
      return array;
    }
    case 15:
      return Kestrum::Ref<Any>(new Array<int64_t>({int64_t{-1} << 50, 3}));
    case 16:
      return Kestrum::Ref<Any>(new Array<bool>({true, false, true}));
    case 17:
      return Kestrum::Ref<Any>(new Array<double>({1.5, -0.25, 1e300}));
    default: {
      auto refs = Kestrum::MakeRef<DataArray<MoRef>>();
      refs->Append(static_cast<MoRef*>(Reference(TypeNamed("zel.ServiceInstance")).Get()));
      return Kestrum::Ref<Any>(refs.Get());
    }
  }
}

Kestrum::Ref<Lumo::Any> Filler::Boxed(const Lumo::TypeInfo* info, uint32_t flags, int depth) {
  using namespace Lumo;
  const Type* type = info ? Lumo::FindTypeByName(info->name) : nullptr;
  bool array = (flags & kFlagArray) != 0;
  if (info == &gStringTypeInfo) {
    if (array) return Kestrum::Ref<Any>(new Array<std::string>({Text("a"), Text("b")}));
    return Kestrum::Ref<Any>(new Primitive<std::string>(Text("str")));
  }
  if (info == &gBoolTypeInfo) {
    if (array) return Kestrum::Ref<Any>(new Array<bool>({true, false}));
    return Kestrum::Ref<Any>(BoxBool(true));
  }
  if (info == &gIntTypeInfo) return Kestrum::Ref<Any>(new Primitive<int32_t>(1000 + Next()));
  if (info == &gLongTypeInfo) {
    return Kestrum::Ref<Any>(new Primitive<int64_t>((int64_t{1} << 33) + Next()));
  }
  if (info == &gDoubleTypeInfo) return Kestrum::Ref<Any>(new Primitive<double>(0.5 + Next()));
  if (info == &gDateTimeTypeInfo) {
    return Kestrum::Ref<Any>(new Primitive<Kestrum::System::DateTime>(
        Kestrum::System::DateTime::FromLocal(2023, 12, 31, 23, 59, 58, Next(), -300)));
  }
  if (info == &gTypeNameTypeInfo) {
    return Kestrum::Ref<Any>(new Primitive<TypeName>(TypeName{"zel.profile.Profile"}));
  }
  if (info == &gAnyTypeInfo) {
    if (!array) return AnyValue(depth + 1);
    auto values = Kestrum::MakeRef<DataArray<Any>>();
    values->Append(AnyValue(depth + 1).Get());
    values->Append(AnyValue(depth + 1).Get());
    return Kestrum::Ref<Any>(values.Get());
  }
  if (type && type->IsManagedObject()) {
    if (!array) return Reference(type);
    auto refs = Kestrum::MakeRef<DataArray<MoRef>>();
    refs->Append(static_cast<MoRef*>(Reference(type).Get()));
    refs->Append(static_cast<MoRef*>(Reference(type).Get()));
    return Kestrum::Ref<Any>(refs.Get());
  }
  if (type && type->IsEnum()) {
    auto* e = static_cast<const EnumType*>(type);
    return Kestrum::Ref<Any>(e->GetFuncs().boxValue(1 % e->GetValueCount()));
  }
  auto* data = dynamic_cast<const DataObjectType*>(type);
  if (!data) return Kestrum::Ref<Any>();
  if (!array) return Derived(data, depth + 1);
  Kestrum::Ref<Any> items(data->CreateArray());
  static_cast<DataArrayBase*>(items.Get())->Append(Derived(data, depth + 1).Get());
  static_cast<DataArrayBase*>(items.Get())->Append(Derived(data, depth + 1).Get());
  return items;
}

void Filler::SetProperty(Lumo::Any* object, const Lumo::DataTypeInfo* level, int index, int depth) {
  using namespace Lumo;
  const PropInfo& p = level->properties[index];
  bool array = (p.flags & kFlagArray) != 0;
  const TypeInfo* t = p.type;
  if (!array) {
    if (t == &gStringTypeInfo) {
      std::string v = Text(p.name);
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gBoolTypeInfo) {
      bool v = true;
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gIntTypeInfo) {
      int32_t v = -100000 - static_cast<int32_t>(Next());
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gLongTypeInfo) {
      int64_t v = -(int64_t{1} << 45) - Next();
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gDoubleTypeInfo) {
      double v = 1.0 / 3.0 + Next();
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gDateTimeTypeInfo) {
      auto v = Kestrum::System::DateTime::FromLocal(2021, 7, 4, 8, 30, 15, Next() % 1000000, 330);
      level->setProperty(object, index, &v);
      return;
    }
    if (t == &gTypeNameTypeInfo) {
      TypeName v{"zel.fault.NotFound"};
      level->setProperty(object, index, &v);
      return;
    }
    if (t && t->kind == kTypeKindEnum) {
      int32_t v = 1;
      level->setProperty(object, index, &v);
      return;
    }
  }
  Kestrum::Ref<Any> value = Boxed(t, p.flags, depth);
  level->setProperty(object, index, &value);
}

Kestrum::Ref<Lumo::Any> Filler::Object(const Lumo::DataObjectType* type, int depth) {
  using namespace Lumo;
  if (depth > kMaxDepth) return Kestrum::Ref<Any>();
  Kestrum::Ref<Any> object(type->CreateInstance());
  std::vector<const DataObjectType*> chain;
  for (const DataObjectType* t = type; t; t = t->GetBase()) chain.push_back(t);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const DataTypeInfo* info = (*it)->GetInfo();
    for (int i = 0; i < (*it)->GetPropertyCount(); ++i) {
      const PropInfo& p = info->properties[i];
      bool required = !(p.flags & (kFlagOptional | kFlagArray));
      if (depth >= kFullDepth && !required) continue;
      SetProperty(object.Get(), info, i, depth);
    }
  }
  return object;
}

bool SameValue(const Lumo::Any* a, const Lumo::Any* b, std::string* why) {
  auto say = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (!a || !b) return a == b ? true : say(a ? "second is null" : "first is null");
  if (typeid(*a) != typeid(*b)) {
    return say("classes differ: " + Kestrum::DemangleClassName(typeid(*a)) + " and " +
               Kestrum::DemangleClassName(typeid(*b)));
  }
  if (!a->_IsEqual(b, false)) return say("not equal: " + a->ToString() + "\nvs\n" + b->ToString());
  if (!b->_IsEqual(a, false)) return say("not equal the other way");
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(b, "", diffs);
  if (!diffs.IsEmpty()) return say("diff at " + diffs.GetChanged()[0].ToString());
  return true;
}

std::string ReasonOf(const Lumo::MethodFault::Exception& e) {
  auto* wire = dynamic_cast<const Lumo::Wire::WireFormatFault*>(e.GetFault());
  if (!wire || !wire->PeekReason()) return "";
  return *wire->PeekReason();
}

}  // namespace WireTest
