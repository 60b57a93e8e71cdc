// olyx.fault.NotSupported: the operation is not supported.
#pragma once

#include <Lumo/MethodFault.h>

namespace Lumo {
namespace Fault {

class NotSupported : public MethodFault {
 public:
  // The exception class that carries this fault through a throw. Defined in
  // the class body so that CreateException() can return it covariantly.
  class Exception : public MethodFault::Exception {
   public:
    explicit Exception(NotSupported* fault);
    // A new fault without properties.
    Exception();
    Exception(const Exception& other);
    ~Exception() override;

    // The held fault; asserts that it is a NotSupported.
    NotSupported* GetFault() const;
    Kestrum::Exception* Clone() const override;
    [[noreturn]] void Throw() const override;
  };

  NotSupported();
  ~NotSupported() override;

  Type* _GetType() const override;
  NotSupported* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  DataObjectType* _GetDataType() const override;

 protected:
  [[noreturn]] void ThrowInternal() override;

 public:
  Exception* CreateException() override;

 protected:
  NotSupported(const NotSupported& other);
};

}  // namespace Fault

template <>
DataObjectType* GetDoType<Fault::NotSupported>();
extern template class DataArray<Fault::NotSupported>;

}  // namespace Lumo
