// olyx.fault.InvalidArgument: an argument or one of its properties is not acceptable.
#include <Kestrum/Panic.h>
#include <Lumo/Fault/InvalidArgument.h>

#include "../OptionalStrings.h"

namespace Lumo::Fault {

InvalidArgument::InvalidArgument() = default;
InvalidArgument::InvalidArgument(const InvalidArgument& other)
    : MethodFault(other), _invalidProperty(other._invalidProperty) {}
InvalidArgument::~InvalidArgument() = default;

Type* InvalidArgument::_GetType() const { return GetDoType<InvalidArgument>(); }
InvalidArgument* InvalidArgument::_Clone() const { return new InvalidArgument(*this); }
DataObjectType* InvalidArgument::_GetDataType() const { return GetDoType<InvalidArgument>(); }

bool InvalidArgument::_IsEqual(const Any* other, bool looseMatch) const {
  if (!MethodFault::_IsEqual(other, looseMatch)) return false;
  auto* o = static_cast<const InvalidArgument*>(other);
  return Detail::OptionalMatches(_invalidProperty, o->_invalidProperty, looseMatch);
}

void InvalidArgument::ThrowInternal() { throw Exception(this); }

InvalidArgument::Exception* InvalidArgument::CreateException() { return new Exception(this); }

bool InvalidArgument::GetInvalidProperty(std::string& value) const {
  if (!_invalidProperty.IsSet()) return false;
  if (&value != _invalidProperty.GetPtr()) value = _invalidProperty.GetValue();
  return true;
}

void InvalidArgument::SetInvalidProperty(const Kestrum::Optional<std::string>& value) {
  Detail::SetOptionalString(_invalidProperty, value, this, 0);
}

void InvalidArgument::SwapInvalidProperty(Kestrum::Optional<std::string>* const value) {
  Detail::SwapOptionalString(_invalidProperty, value, this, 0, "lumo/Fault/InvalidArgument", 52);
}

namespace {
InvalidArgument* NewInvalidArgument(const Kestrum::Optional<std::string>& invalidProperty) {
  auto* fault = new InvalidArgument;
  Kestrum::Optional<std::string> copy = invalidProperty;
  // The value constructor stores without validation.
  fault->SwapInvalidProperty(&copy);
  return fault;
}
}  // namespace

InvalidArgument::Exception::Exception(InvalidArgument* fault)
    : MethodFault::Exception(FormatMessage(fault), fault) {}

InvalidArgument::Exception::Exception(const Kestrum::Optional<std::string>& invalidProperty)
    : Exception(Kestrum::Ref<InvalidArgument>(NewInvalidArgument(invalidProperty)).Get()) {}

InvalidArgument::Exception::Exception(const Exception& other) : MethodFault::Exception(other) {}
InvalidArgument::Exception::~Exception() = default;

InvalidArgument* InvalidArgument::Exception::GetFault() const {
  auto* fault = dynamic_cast<InvalidArgument*>(_fault.Get());
  KESTRUM_ASSERT_AT(fault, "lumo/Fault/InvalidArgument", 30);
  return fault;
}

Kestrum::Exception* InvalidArgument::Exception::Clone() const { return new Exception(*this); }

void InvalidArgument::Exception::Throw() const { throw Exception(*this); }

}  // namespace Lumo::Fault
