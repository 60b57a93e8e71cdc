// The eight accessor functions of the data type records, exercised on every
// data object and fault class of the library. Nothing here names a class:
// instances, property kinds and values all come from the records.
#include <Olyx/Zel/AboutInfo.h>
#include <Olyx/Zel/Fault/ZELFault.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <string>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Kestrum::System::DateTime;
using Lumo::Any;
using Lumo::DataTypeInfo;
using Lumo::PropInfo;

enum class Kind { String, Bool, Int, Long, DateTime, TypeName, Reference };

Kind KindOf(const PropInfo& p) {
  if (p.flags & Lumo::kFlagArray) return Kind::Reference;
  if (p.type == &gStringTypeInfo) return Kind::String;
  if (p.type == &gBoolTypeInfo) return Kind::Bool;
  if (p.type == &gIntTypeInfo) return Kind::Int;
  if (p.type == &gLongTypeInfo) return Kind::Long;
  if (p.type == &gDateTimeTypeInfo) return Kind::DateTime;
  if (p.type == &gTypeNameTypeInfo) return Kind::TypeName;
  return Kind::Reference;
}

bool IsOptional(const PropInfo& p) { return (p.flags & Lumo::kFlagOptional) != 0; }

const Lumo::DataObjectType* DataTypeOf(const Lumo::TypeInfo* record) {
  const Lumo::Type* type = Lumo::FindTypeByName(record->name);
  if (type == nullptr || !type->IsDataObject()) return nullptr;
  return static_cast<const Lumo::DataObjectType*>(type);
}

// A property value in the representation the accessor functions exchange.
struct Value {
  Kind kind = Kind::String;
  std::string text;
  bool flag = false;
  int32_t number = 0;
  int64_t wide = 0;
  DateTime time;
  Lumo::TypeName typeName;
  Ref<Any> object;

  void* Address() {
    switch (kind) {
      case Kind::String:
        return &text;
      case Kind::Bool:
        return &flag;
      case Kind::Int:
        return &number;
      case Kind::Long:
        return &wide;
      case Kind::DateTime:
        return &time;
      case Kind::TypeName:
        return &typeName;
      case Kind::Reference:
        return &object;
    }
    return nullptr;
  }
  // Whether the stored value behind a peeked address is this value.
  bool IsAt(const void* stored) const {
    switch (kind) {
      case Kind::String:
        return *static_cast<const std::string*>(stored) == text;
      case Kind::Bool:
        return *static_cast<const bool*>(stored) == flag;
      case Kind::Int:
        return *static_cast<const int32_t*>(stored) == number;
      case Kind::Long:
        return *static_cast<const int64_t*>(stored) == wide;
      case Kind::DateTime:
        return static_cast<const DateTime*>(stored)->GetUtcTime() == time.GetUtcTime();
      case Kind::TypeName:
        return *static_cast<const Lumo::TypeName*>(stored) == typeName;
      case Kind::Reference:
        return stored == object.Get();
    }
    return false;
  }
  bool operator==(const Value& other) const {
    if (kind != other.kind) return false;
    if (kind == Kind::Reference) return object.Get() == other.object.Get();
    Value copy = other;
    return IsAt(copy.Address());
  }
};

std::ostream& operator<<(std::ostream& out, const Value& v) {
  switch (v.kind) {
    case Kind::String:
      return out << '"' << v.text << '"';
    case Kind::Reference:
      return out << "object " << v.object.Get();
    default:
      return out << "value of kind " << static_cast<int>(v.kind);
  }
}

Ref<Any> NewReference(const PropInfo& p, const std::string& tag) {
  const Lumo::TypeInfo* element = p.type;
  if (p.flags & Lumo::kFlagArray) {
    if (element == &gStringTypeInfo) {
      auto* strings = new Lumo::Array<std::string>();
      strings->Append(tag);
      return Ref<Any>(strings);
    }
    if (element == &gAnyTypeInfo) {
      auto* anys = new Lumo::DataArray<Any>();
      anys->Append(new Lumo::Primitive<std::string>(tag));
      return Ref<Any>(anys);
    }
    if (element->kind == Lumo::kTypeKindManagedObject) {
      auto* refs = new Lumo::DataArray<Lumo::MoRef>();
      refs->Append(new Lumo::MoRef(element->name, tag));
      return Ref<Any>(refs);
    }
    const Lumo::DataObjectType* type = DataTypeOf(element);
    if (type == nullptr) return Ref<Any>();
    Ref<Any> array(type->CreateArray());
    static_cast<Lumo::DataArrayBase*>(array.Get())->Append(type->CreateInstance());
    return array;
  }
  if (element == &gAnyTypeInfo) return Ref<Any>(new Lumo::Primitive<std::string>(tag));
  if (element->kind == Lumo::kTypeKindManagedObject) {
    return Ref<Any>(new Lumo::MoRef(element->name, tag));
  }
  const Lumo::DataObjectType* type = DataTypeOf(element);
  return type == nullptr ? Ref<Any>() : Ref<Any>(type->CreateInstance());
}

// A non-default value; variant 0 and 1 differ.
Value MakeValue(const PropInfo& p, int index, int variant) {
  Value v;
  v.kind = KindOf(p);
  const std::string tag = std::string(variant == 0 ? "x" : "y") + std::to_string(index);
  v.text = tag;
  v.flag = variant == 0;
  v.number = 7 + variant;
  v.wide = 7 + variant;
  v.time = DateTime(1600000000000000 + index * 1000 + variant, 60);
  v.typeName = Lumo::TypeName{tag};
  if (v.kind == Kind::Reference) v.object = NewReference(p, tag);
  return v;
}

// A reference the property must refuse: a managed object reference for a
// data object or array property, a data object for a reference property.
Ref<Any> WrongReference(const PropInfo& p) {
  bool isMoRef = !(p.flags & Lumo::kFlagArray) && p.type->kind == Lumo::kTypeKindManagedObject;
  if (isMoRef) return Ref<Any>(new Zel::AboutInfo);
  return Ref<Any>(new Lumo::MoRef("zel.ServiceInstance", "wrong"));
}

Value Read(const DataTypeInfo* info, const Any* object, int index, Kind kind) {
  Value out;
  out.kind = kind;
  info->getProperty(object, index, out.Address());
  return out;
}

std::vector<const Lumo::DataObjectType*> DataTypes() {
  std::vector<const Lumo::DataObjectType*> out;
  for (const auto& reg : Lumo::GetLoaderRegistrations()) {
    if (reg.name != "zel") continue;
    for (const Lumo::Type* type : reg.types) {
      if (type->IsDataObject()) out.push_back(static_cast<const Lumo::DataObjectType*>(type));
    }
  }
  return out;
}

const DataTypeInfo* InfoOf(const Lumo::DataObjectType* type) { return type->GetInfo(); }

class RecordAccessorTest : public ZelRules::RulesTest {};

TEST_F(RecordAccessorTest, EveryPropertyOfEveryDataClassIsReachedThroughTheRecord) {
  auto types = DataTypes();
  ASSERT_EQ(types.size(), 112u);
  for (const Lumo::DataObjectType* type : types) {
    const DataTypeInfo* info = InfoOf(type);
    SCOPED_TRACE(type->GetName());
    Ref<Any> object(info->createInstance());
    ASSERT_TRUE(object);
    ASSERT_EQ(object->_GetType(), type);
    for (int i = 0; info->properties[i].name != nullptr; ++i) {
      const PropInfo& p = info->properties[i];
      SCOPED_TRACE(p.name);
      const Kind kind = KindOf(p);
      const bool optional = IsOptional(p);
      ASSERT_NE(p.type, nullptr);
      ASSERT_NE(p.type, &gDoubleTypeInfo) << "no double property is expected";

      if (kind == Kind::Reference || optional) {
        EXPECT_EQ(info->peekProperty(object.Get(), i), nullptr);
        EXPECT_FALSE(info->isPropertySet(object.Get(), i));
      } else {
        EXPECT_TRUE(info->isPropertySet(object.Get(), i));
      }

      Value x = MakeValue(p, i, 0);
      ASSERT_TRUE(kind != Kind::Reference || x.object) << "cannot make a value";
      info->setProperty(object.Get(), i, x.Address());
      EXPECT_EQ(Read(info, object.Get(), i, kind), x);
      const void* peeked = info->peekProperty(object.Get(), i);
      ASSERT_NE(peeked, nullptr);
      EXPECT_TRUE(x.IsAt(peeked));
      EXPECT_TRUE(info->isPropertySet(object.Get(), i));

      // Refused values leave the property as it was.
      if (kind == Kind::String) {
        std::string bad("bad\x01");
        EXPECT_THROW(info->setProperty(object.Get(), i, &bad),
                     Lumo::Fault::InvalidArgument::Exception);
        EXPECT_EQ(Read(info, object.Get(), i, kind), x);
      }
      if (kind == Kind::Reference && p.type != &gAnyTypeInfo) {
        Ref<Any> wrong = WrongReference(p);
        EXPECT_THROW(info->setProperty(object.Get(), i, &wrong), Kestrum::TypeMismatchException);
        EXPECT_EQ(Read(info, object.Get(), i, kind), x);
      }

      Value y = MakeValue(p, i, 1);
      Value held = y;
      info->swapProperty(object.Get(), i, held.Address());
      EXPECT_EQ(Read(info, object.Get(), i, kind), y);
      EXPECT_EQ(held, x);

      if (optional) {
        info->unsetProperty(object.Get(), i);
        EXPECT_FALSE(info->isPropertySet(object.Get(), i));
        EXPECT_EQ(info->peekProperty(object.Get(), i), nullptr);
      } else if (kind == Kind::Reference) {
        Ref<Any> null;
        info->setProperty(object.Get(), i, &null);
        EXPECT_FALSE(info->isPropertySet(object.Get(), i));
      }
      if (kind == Kind::Reference) {
        EXPECT_EQ(x.object->GetRefCount(), 2) << "held by x and by the swapped holder";
      }
    }
    // Any index beyond the list counts as set.
    EXPECT_TRUE(info->isPropertySet(object.Get(), 1000));
  }
}

// Clone, equality and diff must each cover every own property: a property
// changed in a full deep copy makes the copy unequal and is the one path
// of the diff; an optional unset in the copy is ignored by loose matching.
TEST_F(RecordAccessorTest, CloneEqualityAndDiffCoverEveryOwnProperty) {
  for (const Lumo::DataObjectType* type : DataTypes()) {
    const DataTypeInfo* info = InfoOf(type);
    SCOPED_TRACE(type->GetName());
    Ref<Any> original(info->createInstance());
    std::vector<Value> values;
    for (int i = 0; info->properties[i].name != nullptr; ++i) {
      values.push_back(MakeValue(info->properties[i], i, 0));
      info->setProperty(original.Get(), i, values.back().Address());
    }
    Ref<Any> copy(original->_Clone());
    ASSERT_EQ(copy->_GetType(), type);
    EXPECT_TRUE(copy->_IsEqual(original.Get()));
    for (int i = 0; info->properties[i].name != nullptr; ++i) {
      const PropInfo& p = info->properties[i];
      SCOPED_TRACE(p.name);
      const Kind kind = KindOf(p);
      Value copied = Read(info, copy.Get(), i, kind);
      if (kind == Kind::Reference && p.type != &gAnyTypeInfo) {
        EXPECT_NE(copied.object.Get(), values[i].object.Get()) << "shared, not cloned";
        EXPECT_TRUE(copied.object->_IsEqual(values[i].object.Get()));
      } else if (kind != Kind::Reference) {
        EXPECT_EQ(copied, values[i]);
      }

      // A different value: the other variant, or no object at all.
      Value other = MakeValue(p, i, 1);
      if (kind == Kind::Reference) other.object.Reset();
      info->setProperty(copy.Get(), i, other.Address());
      EXPECT_FALSE(original->_IsEqual(copy.Get()));
      EXPECT_FALSE(copy->_IsEqual(original.Get()));
      Lumo::PropertyDiffSet diffs;
      original->_DiffProperties(copy.Get(), "p", diffs);
      ASSERT_EQ(diffs.GetCount(), 1u);
      EXPECT_EQ(diffs.GetChanged()[0].ToString(), std::string("p.") + p.name);

      if (IsOptional(p)) {
        info->unsetProperty(copy.Get(), i);
        EXPECT_TRUE(original->_IsEqual(copy.Get(), true));
        EXPECT_FALSE(copy->_IsEqual(original.Get(), true));
      }
      info->setProperty(copy.Get(), i, copied.Address());
      EXPECT_TRUE(original->_IsEqual(copy.Get()));
    }
  }
}

// A refused string names the property it was meant for, also when the setter
// of a base class runs on an object of a derived class.
// A refused string names its property; where a derived type has a string at
// the same own index as a base, the owner and index cannot tell the two apart,
// so the refusal names every candidate, and the true one is always among them.
TEST_F(RecordAccessorTest, RefusedStringNamesItsPropertyAtEveryLevelOfTheHierarchy) {
  std::vector<std::string> misnamed;
  for (const Lumo::DataObjectType* type : DataTypes()) {
    for (const Lumo::DataObjectType* level = type; level != nullptr; level = level->GetBase()) {
      const DataTypeInfo* info = InfoOf(level);
      if (info == nullptr || info->setProperty == nullptr) continue;
      for (int i = 0; info->properties[i].name != nullptr; ++i) {
        const PropInfo& p = info->properties[i];
        if (KindOf(p) != Kind::String) continue;
        Ref<Any> object(InfoOf(type)->createInstance());
        std::string bad("\x01");
        try {
          info->setProperty(object.Get(), i, &bad);
          misnamed.push_back(std::string(type->GetName()) + ": " + p.name + " accepted");
        } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
          const std::string* named = e.GetFault()->PeekInvalidProperty();
          bool listed = false;
          if (named != nullptr) {
            std::string candidates = " or " + *named + " or ";
            listed = candidates.find(std::string(" or ") + p.name + " or ") != std::string::npos;
          }
          if (!listed) {
            misnamed.push_back(std::string(type->GetName()) + ": " + level->GetName() + "." +
                               p.name + " reported as " + (named ? *named : "nothing"));
          }
        }
      }
    }
  }
  EXPECT_TRUE(misnamed.empty()) << testing::PrintToString(misnamed);

  auto refusedAs = [](auto&& set) -> std::string {
    try {
      set();
    } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
      const std::string* named = e.GetFault()->PeekInvalidProperty();
      return named ? *named : "nothing";
    }
    return "accepted";
  };
  auto about = MakeRef<Zel::AboutInfo>();
  EXPECT_EQ(refusedAs([&] { about->SetName(std::string("\x01")); }), "name");
  auto profile = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  EXPECT_EQ(refusedAs([&] { profile->SetLastUpdatedBy(std::string("\x01")); }),
            "lastUpdatedBy or lineOfService");
}

TEST_F(RecordAccessorTest, TypesWithoutOwnPropertiesShareOneAlwaysSetFunction) {
  auto* about = InfoOf(Lumo::GetDoType<Zel::AboutInfo>());
  ASSERT_NE(about->isPropertySet, nullptr);
  EXPECT_EQ(about->unsetProperty, nullptr);
  int without = 0;
  for (const Lumo::DataObjectType* type : DataTypes()) {
    const DataTypeInfo* info = InfoOf(type);
    SCOPED_TRACE(type->GetName());
    EXPECT_NE(info->createInstance, nullptr);
    EXPECT_NE(info->createArray, nullptr);
    bool hasOptional = false;
    int count = 0;
    for (; info->properties[count].name != nullptr; ++count) {
      hasOptional |= IsOptional(info->properties[count]);
    }
    EXPECT_EQ(info->properties[count].flags, 0xffffffffu);
    EXPECT_EQ(info->unsetProperty == nullptr, !hasOptional);
    if (count > 0) continue;
    ++without;
    EXPECT_EQ(info->getProperty, nullptr);
    EXPECT_EQ(info->peekProperty, nullptr);
    EXPECT_EQ(info->setProperty, nullptr);
    EXPECT_EQ(info->swapProperty, nullptr);
    EXPECT_EQ(info->isPropertySet, about->isPropertySet);
    Ref<Any> object(info->createInstance());
    EXPECT_TRUE(info->isPropertySet(object.Get(), 0));
  }
  EXPECT_GT(without, 0);
  // The root fault has a property list holding only the terminator.
  auto* root = InfoOf(Lumo::GetDoType<Zel::Fault::ZELFault>());
  EXPECT_EQ(root->properties[0].name, nullptr);
  EXPECT_EQ(root->isPropertySet, about->isPropertySet);
}

TEST_F(RecordAccessorTest, IndicesAnAccessorDoesNotServeAreNotReached) {
  const std::string root = std::string("NOT_REACHED ") + ZelRules::kRootUnit;
  const std::string profile = std::string("NOT_REACHED ") + ZelRules::kProfileUnit;

  auto* about = InfoOf(Lumo::GetDoType<Zel::AboutInfo>());
  Ref<Any> aboutObject(about->createInstance());
  std::string sink;
  EXPECT_DEATH(about->getProperty(aboutObject.Get(), 3, &sink), root);

  auto* ref = InfoOf(Lumo::GetDoType<Zel::ServerObjectRef>());
  Ref<Any> refObject(ref->createInstance());
  EXPECT_DEATH(ref->unsetProperty(refObject.Get(), 0), root);  // objectType is required

  auto* cbp = InfoOf(Lumo::GetDoType<Zel::Profile::CapabilityBasedProfile>());
  Ref<Any> cbpObject(cbp->createInstance());
  EXPECT_DEATH(cbp->peekProperty(cbpObject.Get(), 7), profile);
  EXPECT_DEATH(cbp->setProperty(cbpObject.Get(), -1, &sink), profile);
}

}  // namespace
