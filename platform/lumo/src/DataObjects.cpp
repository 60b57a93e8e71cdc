// The runtime's own data objects and faults: olyx.KeyAnyValue,
// olyx.MethodFault, olyx.fault.InvalidArgument, olyx.fault.NotSupported, and
// managed object references.
#include <Kestrum/Panic.h>
#include <Kestrum/Print.h>
#include <Lumo/Diff.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/KeyAnyValue.h>
#include <Lumo/MethodFault.h>
#include <Lumo/MoRef.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/Validate.h>

namespace Lumo {

namespace {

// Optional values match when equal, or (loosely) when other's is unset.
template <class T>
bool OptionalMatches(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& theirs,
                     bool looseMatch) {
  if (looseMatch && !theirs.IsSet()) return true;
  return mine == theirs;
}

void SetOptionalString(Kestrum::Optional<std::string>& member,
                       const Kestrum::Optional<std::string>& value, const Any* owner, int index) {
  if (&member == &value) return;
  if (value.IsSet()) Validate<std::string>(value.GetPtr(), owner, index);
  member = value;
}

void SwapOptionalString(Kestrum::Optional<std::string>& member,
                        Kestrum::Optional<std::string>* const value, const Any* owner, int index,
                        const char* path, int line) {
  KESTRUM_ASSERT_AT(value, path, line);
  if (value->IsSet()) Validate<std::string>(value->GetPtr(), owner, index);
  member.Swap(*value);
}

}  // namespace

// ---- KeyAnyValue ------------------------------------------------------------------

KeyAnyValue::KeyAnyValue() = default;

KeyAnyValue::KeyAnyValue(const std::string& key, Any* value) : _key(key), _value(value) {
  Validate<std::string>(&_key, this, 0);
}

KeyAnyValue::KeyAnyValue(const KeyAnyValue& other)
    : DynamicData(other),
      _key(other._key),
      _value(other._value ? other._value->_Clone() : nullptr) {}

KeyAnyValue::~KeyAnyValue() = default;

Type* KeyAnyValue::_GetType() const { return GetDoType<KeyAnyValue>(); }
KeyAnyValue* KeyAnyValue::_Clone() const { return new KeyAnyValue(*this); }
DataObjectType* KeyAnyValue::_GetDataType() const { return GetDoType<KeyAnyValue>(); }

bool KeyAnyValue::_IsEqual(const Any* other, bool looseMatch) const {
  auto* o = static_cast<const KeyAnyValue*>(other);
  return _key == o->_key && AreEqualAnysInt(_value.Get(), o->_value.Get(), 0, looseMatch);
}

void KeyAnyValue::_DiffProperties(const Any* other, const std::string& prefix,
                                  PropertyDiffSet& diffs) const {
  auto* o = static_cast<const KeyAnyValue*>(other);
  if (_key != o->_key) diffs.AddChanged(PropertyPath(prefix + ".key"));
  DiffAnyPropertiesInt(_value.Get(), o->_value.Get(), prefix, ".value", 0, diffs);
}

void KeyAnyValue::SetKey(const std::string& key) {
  if (&key == &_key) return;
  Validate<std::string>(&key, this, 0);
  _key = key;
}

void KeyAnyValue::SwapKey(std::string* const key) {
  KESTRUM_ASSERT_AT(key, "lumo/KeyAnyValue", 38);
  Validate<std::string>(key, this, 0);
  _key.swap(*key);
}

void KeyAnyValue::SwapValue(Kestrum::Ref<Any>* const value) {
  KESTRUM_ASSERT_AT(value, "lumo/KeyAnyValue", 45);
  _value.Swap(*value);
}

// ---- MethodFault ---------------------------------------------------------------------

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
  return OptionalMatches(_msg, o->_msg, looseMatch) &&
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
  SetOptionalString(_msg, msg, this, 0);
}

void MethodFault::SwapMsg(Kestrum::Optional<std::string>* const msg) {
  SwapOptionalString(_msg, msg, this, 0, "lumo/MethodFault", 66);
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

// ---- Fault::InvalidArgument --------------------------------------------------------------

namespace Fault {

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
  return OptionalMatches(_invalidProperty, o->_invalidProperty, looseMatch);
}

void InvalidArgument::ThrowInternal() { throw Exception(this); }

InvalidArgument::Exception* InvalidArgument::CreateException() { return new Exception(this); }

bool InvalidArgument::GetInvalidProperty(std::string& value) const {
  if (!_invalidProperty.IsSet()) return false;
  if (&value != _invalidProperty.GetPtr()) value = _invalidProperty.GetValue();
  return true;
}

void InvalidArgument::SetInvalidProperty(const Kestrum::Optional<std::string>& value) {
  SetOptionalString(_invalidProperty, value, this, 0);
}

void InvalidArgument::SwapInvalidProperty(Kestrum::Optional<std::string>* const value) {
  SwapOptionalString(_invalidProperty, value, this, 0, "lumo/Fault/InvalidArgument", 52);
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

// ---- Fault::NotSupported ------------------------------------------------------------------

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

}  // namespace Fault

// ---- MoRef -----------------------------------------------------------------------------

MoRef::MoRef(const std::string& type, const std::string& id) : _type(type), _id(id) {}
MoRef::MoRef(const MoRef& other) : Any(other), _type(other._type), _id(other._id) {}
MoRef::~MoRef() = default;

Type* MoRef::_GetType() const { return GetNoType<MoRef>(); }
MoRef* MoRef::_Clone() const { return new MoRef(*this); }

bool MoRef::_IsEqual(const Any* other, bool) const {
  KESTRUM_ASSERT_AT(other, "lumo/MoRef", 22);
  auto* o = dynamic_cast<const MoRef*>(other);
  return o && *this == *o;
}

void MoRef::_DiffProperties(const Any* other, const std::string& prefix,
                            PropertyDiffSet& diffs) const {
  if (!_IsEqual(other, false)) diffs.AddChanged(PropertyPath(prefix));
}

}  // namespace Lumo
