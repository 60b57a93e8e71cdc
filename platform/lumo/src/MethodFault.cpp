// olyx.MethodFault, the base of every fault, and its exception.
#include <Kestrum/Panic.h>
#include <Kestrum/Print.h>
#include <Lumo/DataArray.h>
#include <Lumo/Diff.h>
#include <Lumo/KeyAnyValue.h>
#include <Lumo/MethodFault.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/Validate.h>

#include "OptionalStrings.h"

namespace Lumo {

MethodFault::MethodFault() = default;

MethodFault::MethodFault(const MethodFault& other)
    : DynamicData(other),
      _msg(other._msg),
      _faultMessage(other._faultMessage ? other._faultMessage->_Clone() : nullptr) {}

MethodFault::~MethodFault() = default;

Type* MethodFault::_GetType() const { return GetDoType<MethodFault>(); }
MethodFault* MethodFault::_Clone() const { return new MethodFault(*this); }
DataObjectType* MethodFault::_GetDataType() const { return GetDoType<MethodFault>(); }

bool MethodFault::_IsEqual(const Any* other, bool looseMatch) const {
  auto* o = static_cast<const MethodFault*>(other);
  return Detail::OptionalMatches(_msg, o->_msg, looseMatch) &&
         AreEqualAnysInt(_faultMessage.Get(), o->_faultMessage.Get(), kFlagArray | kFlagOptional,
                         looseMatch);
}

void MethodFault::ThrowInternal() { throw Exception(this); }

void MethodFault::Throw() {
  // Virtual: ends in the ThrowInternal of the fault's own class.
  ThrowInternal();
  // An override of ThrowInternal must throw.
  KESTRUM_NOT_REACHED_AT("lumo/MethodFault", 120);
}

MethodFault::Exception* MethodFault::CreateException() { return new Exception(this); }

const std::string& MethodFault::GetMsg() const {
  static const std::string kEmpty;
  return _msg.IsSet() ? _msg.GetValue() : kEmpty;
}

bool MethodFault::GetMsg(std::string& msg) const {
  if (!_msg.IsSet()) return false;
  if (&msg != _msg.GetPtr()) msg = _msg.GetValue();
  return true;
}

void MethodFault::SetMsg(const std::string& msg) {
  Validate<std::string>(&msg, this, 0);
  _msg = msg;
}

void MethodFault::SetMsg(const Kestrum::Optional<std::string>& msg) {
  Detail::SetOptionalString(_msg, msg, this, 0);
}

void MethodFault::SwapMsg(Kestrum::Optional<std::string>* const msg) {
  Detail::SwapOptionalString(_msg, msg, this, 0, "lumo/MethodFault", 66);
}

DataArray<KeyAnyValue>* MethodFault::GetFaultMessage() {
  return const_cast<DataArray<KeyAnyValue>*>(
      static_cast<const MethodFault*>(this)->GetFaultMessage());
}

const DataArray<KeyAnyValue>* MethodFault::GetFaultMessage() const {
  if (!_faultMessage.AtomicGet()) {
    // Const readers on several threads may get here at once; the first
    // installed array wins and the others are released.
    _faultMessage.InstallIfNull(new DataArray<KeyAnyValue>);
  }
  return _faultMessage.AtomicGet();
}

void MethodFault::SwapFaultMessage(Kestrum::Ref<DataArray<KeyAnyValue>>* const faultMessage) {
  KESTRUM_ASSERT_AT(faultMessage, "lumo/MethodFault", 82);
  _faultMessage.Swap(*faultMessage);
}

// ---- MethodFault::Exception ------------------------------------------------------------

std::string MethodFault::Exception::FormatMessage(const MethodFault* fault) {
  return Kestrum::Detail::ASPrintInternal(
      "Message is: %1,\nFault cause: %2\nFault Messages are:\n%3\n", fault->GetMsg(),
      fault->_GetType()->GetName(), SerializeFormatter(fault->GetPtrFaultMessage()));
}

MethodFault::Exception::Exception(MethodFault* fault) : Exception(FormatMessage(fault), fault) {}

MethodFault::Exception::Exception(std::string&& message, MethodFault* fault)
    : Kestrum::Exception(std::move(message)), _fault(fault) {}

MethodFault::Exception::Exception(const Exception& other)
    : Kestrum::Exception(other), _fault(other._fault) {}

MethodFault::Exception::~Exception() = default;

Kestrum::Exception* MethodFault::Exception::Clone() const { return new Exception(*this); }

void MethodFault::Exception::Throw() const { throw Exception(*this); }

}  // namespace Lumo
