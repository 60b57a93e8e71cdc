// olyx.fault.NotSupported: the operation is not supported.
#include <Kestrum/Panic.h>
#include <Lumo/Fault/NotSupported.h>

namespace Lumo::Fault {

NotSupported::NotSupported() = default;
NotSupported::NotSupported(const NotSupported& other) : MethodFault(other) {}
NotSupported::~NotSupported() = default;

Type* NotSupported::_GetType() const { return GetDoType<NotSupported>(); }
NotSupported* NotSupported::_Clone() const { return new NotSupported(*this); }
DataObjectType* NotSupported::_GetDataType() const { return GetDoType<NotSupported>(); }

bool NotSupported::_IsEqual(const Any* other, bool looseMatch) const {
  return MethodFault::_IsEqual(other, looseMatch);
}

void NotSupported::ThrowInternal() { throw Exception(this); }

NotSupported::Exception* NotSupported::CreateException() { return new Exception(this); }

NotSupported::Exception::Exception(NotSupported* fault)
    : MethodFault::Exception(FormatMessage(fault), fault) {}

NotSupported::Exception::Exception()
    : Exception(Kestrum::Ref<NotSupported>(new NotSupported).Get()) {}

NotSupported::Exception::Exception(const Exception& other) : MethodFault::Exception(other) {}
NotSupported::Exception::~Exception() = default;

NotSupported* NotSupported::Exception::GetFault() const {
  auto* fault = dynamic_cast<NotSupported*>(_fault.Get());
  KESTRUM_ASSERT_AT(fault, "lumo/Fault/NotSupported", 30);
  return fault;
}

Kestrum::Exception* NotSupported::Exception::Clone() const { return new Exception(*this); }

void NotSupported::Exception::Throw() const { throw Exception(*this); }

}  // namespace Lumo::Fault
