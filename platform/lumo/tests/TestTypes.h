// Small data objects, faults, an enumeration and a managed type built the way
// a type library builds them, for the runtime's tests. Their loader is named
// "lumo-test" and is registered during static initialisation.
#pragma once

#include <Kestrum/DateTime.h>
#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Lumo/Lumo.h>

#include <cstdint>
#include <string>

extern Lumo::TypeInfo gTestBaseTypeInfo;
extern Lumo::TypeInfo gTestDerivedTypeInfo;
extern Lumo::TypeInfo gTestOtherTypeInfo;
extern Lumo::TypeInfo gTestFaultTypeInfo;
extern Lumo::TypeInfo gTestSubFaultTypeInfo;
extern Lumo::TypeInfo gTestColorTypeInfo;
extern Lumo::TypeInfo gTestWidgetTypeInfo;
extern Lumo::ManagedMethod* gTestWidgetMethodObjects[4];

namespace LumoTest {

// test.Base: name (string, 0), count (optional long, 1), child (anyType, 2),
// items (optional array of test.Base, 3).
class Base : public Lumo::DynamicData {
 public:
  Base() = default;
  Lumo::Type* _GetType() const override;
  Base* _Clone() const override { return new Base(*this); }
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  const std::string& GetName() const { return name; }
  void SetName(const std::string& value) {
    Lumo::Validate<std::string>(&value, this, 0);
    name = value;
  }

  std::string name;
  Kestrum::Optional<int64_t> count;
  Kestrum::Ref<Lumo::Any> child;
  Kestrum::Ref<Lumo::DataArray<Base>> items;

 protected:
  Base(const Base& other);
};

// test.Derived : test.Base: tag (optional string, 0), when (dateTime, 1).
class Derived : public Base {
 public:
  Derived() = default;
  Lumo::Type* _GetType() const override;
  Derived* _Clone() const override { return new Derived(*this); }
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  void SetTag(const Kestrum::Optional<std::string>& value) {
    if (value.IsSet()) Lumo::Validate<std::string>(value.GetPtr(), this, 0);
    tag = value;
  }

  Kestrum::Optional<std::string> tag;
  Kestrum::System::DateTime when;

 protected:
  Derived(const Derived& other) = default;
};

// test.Other: flag (boolean, 0).
class Other : public Lumo::DynamicData {
 public:
  Other() = default;
  Lumo::Type* _GetType() const override;
  Other* _Clone() const override { return new Other(*this); }
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  bool flag = false;

 protected:
  Other(const Other& other) = default;
};

// test.Fault : olyx.MethodFault: code (int, 0).
class Fault : public Lumo::MethodFault {
 public:
  class Exception : public Lumo::MethodFault::Exception {
   public:
    explicit Exception(Fault* fault);
    explicit Exception(int32_t code);
    Exception(const Exception& other) = default;
    Fault* GetFault() const;
    Kestrum::Exception* Clone() const override { return new Exception(*this); }
    [[noreturn]] void Throw() const override { throw Exception(*this); }

   protected:
    Exception(std::string&& message, Fault* fault)
        : Lumo::MethodFault::Exception(std::move(message), fault) {}
  };

  Fault() = default;
  Lumo::Type* _GetType() const override;
  Fault* _Clone() const override { return new Fault(*this); }
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  Lumo::DataObjectType* _GetDataType() const override;

 protected:
  [[noreturn]] void ThrowInternal() override { throw Exception(this); }

 public:
  Exception* CreateException() override { return new Exception(this); }

  int32_t code = 0;

 protected:
  Fault(const Fault& other) = default;
};

// test.SubFault : test.Fault, no own properties.
class SubFault : public Fault {
 public:
  class Exception : public Fault::Exception {
   public:
    explicit Exception(SubFault* fault);
    Exception();
    Exception(const Exception& other) = default;
    SubFault* GetFault() const;
    Kestrum::Exception* Clone() const override { return new Exception(*this); }
    [[noreturn]] void Throw() const override { throw Exception(*this); }
  };

  SubFault() = default;
  Lumo::Type* _GetType() const override;
  SubFault* _Clone() const override { return new SubFault(*this); }
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override {
    return Fault::_IsEqual(other, looseMatch);
  }
  Lumo::DataObjectType* _GetDataType() const override;

 protected:
  [[noreturn]] void ThrowInternal() override { throw Exception(this); }

 public:
  Exception* CreateException() override { return new Exception(this); }

 protected:
  SubFault(const SubFault& other) = default;
};

// test.Color: Red, Green, Blue.
enum Color { COLOR_RED, COLOR_GREEN, COLOR_BLUE };

// test.Widget: property size (int); methods poke(string) and ping() -> string.
class Widget : public virtual Lumo::ManagedObject {
 public:
  Lumo::ManagedObjectType* _GetType() const override;
  virtual int32_t GetSize() = 0;
  virtual void Poke(const std::string& what) = 0;
  virtual std::string Ping() = 0;
};

class WidgetStub : public virtual Widget, public Lumo::StubImpl {
 public:
  WidgetStub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter, Lumo::RequestContext* context)
      : Lumo::StubImpl(ref, adapter, context) {}
  int32_t GetSize() override;
  void Poke(const std::string& what) override;
  std::string Ping() override;
  void Ping(const Lumo::CompletionFunctor& completion,
            Kestrum::Ref<Kestrum::System::ScheduledItem>& item);
};

// Records of types that are only created by the tests that need them.
extern const Lumo::DataTypeInfo kLateBaseInfo;
extern const Lumo::DataTypeInfo kLateDerivedInfo;
extern const Lumo::EnumTypeInfo kShapeInfo;
extern const Lumo::EnumTypeInfo kColorInfo;
extern const Lumo::EnumFuncs kColorFuncs;

}  // namespace LumoTest

namespace Lumo {
template <>
DataObjectType* GetDoType<LumoTest::Base>();
template <>
DataObjectType* GetDoType<LumoTest::Derived>();
template <>
DataObjectType* GetDoType<LumoTest::Other>();
template <>
DataObjectType* GetDoType<LumoTest::Fault>();
template <>
DataObjectType* GetDoType<LumoTest::SubFault>();
template <>
EnumType* GetEnumType<LumoTest::Color>();
template <>
ManagedObjectType* GetMoType<LumoTest::Widget>();
extern template class DataArray<LumoTest::Base>;
extern template class DataArray<LumoTest::Derived>;
extern template class DataArray<LumoTest::Other>;
extern template class Array<LumoTest::Color>;
extern template class Primitive<LumoTest::Color>;
}  // namespace Lumo
