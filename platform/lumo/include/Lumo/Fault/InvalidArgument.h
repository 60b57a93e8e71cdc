// olyx.fault.InvalidArgument: an argument or property value was refused.
#pragma once

#include <Kestrum/Optional.h>
#include <Lumo/MethodFault.h>

#include <string>

namespace Lumo {
namespace Fault {

class InvalidArgument : public MethodFault {
 public:
  // The exception class that carries this fault through a throw. Defined in
  // the class body so that CreateException() can return it covariantly.
  class Exception : public MethodFault::Exception {
   public:
    explicit Exception(InvalidArgument* fault);
    // A new fault holding the given value (not validated).
    explicit Exception(const Kestrum::Optional<std::string>& invalidProperty);
    Exception(const Exception& other);
    ~Exception() override;

    // The held fault; asserts that it is an InvalidArgument.
    InvalidArgument* GetFault() const;
    Kestrum::Exception* Clone() const override;
    [[noreturn]] void Throw() const override;
  };

  InvalidArgument();
  ~InvalidArgument() override;

  Type* _GetType() const override;
  InvalidArgument* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  DataObjectType* _GetDataType() const override;

 protected:
  [[noreturn]] void ThrowInternal() override;

 public:
  Exception* CreateException() override;

  // invalidProperty: optional string, own index 0.
  const Kestrum::Optional<std::string>& GetInvalidProperty() const { return _invalidProperty; }
  bool GetInvalidProperty(std::string& value) const;
  const std::string* PeekInvalidProperty() const { return _invalidProperty.GetPtr(); }
  void SetInvalidProperty(const Kestrum::Optional<std::string>& value);
  void SwapInvalidProperty(Kestrum::Optional<std::string>* const value);
  void UnsetInvalidProperty() { _invalidProperty.Reset(); }

 protected:
  InvalidArgument(const InvalidArgument& other);

 private:
  Kestrum::Optional<std::string> _invalidProperty;
};

}  // namespace Fault

template <>
DataObjectType* GetDoType<Fault::InvalidArgument>();
extern template class DataArray<Fault::InvalidArgument>;

}  // namespace Lumo
