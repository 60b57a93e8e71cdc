// olyx.fault.WireFormat: records, accessors, loader and classes.
#include <Kestrum/Panic.h>
#include <Lumo/BindingSupport.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <atomic>

const Lumo::TypeInfo gOlyxFaultWireFormatTypeInfo = {Lumo::kTypeKindFault, "olyx.fault.WireFormat",
                                                     "WireFormatFault", "olyx.version.version0"};

namespace Lumo {

template class DataArray<Wire::WireFormatFault>;

namespace Wire {

namespace {

constexpr const char* kUnit = "lumo-wire/WireFormatFault";

const char* const kReasonStrings[] = {
    "malformed",         "doctype",        "tooLarge",        "tooDeep",        "tooManyElements",
    "stringTooLong",     "unknownElement", "unknownType",     "wrongType",      "missingProperty",
    "duplicateProperty", "badValue",       "version",         "notSet",         "unknownObject",
    "unknownMethod",     "transport",      "versionMismatch", "mustUnderstand",
};

// The fault's own property list; the parent record is the runtime's
// olyx.fault.InvalidArgument, completed below before the type is created.
PropInfo gProperties[] = {
    {"reason", nullptr, nullptr, nullptr, kFlagOptional, "olyx.version.version0"},
    {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr},
};

void Get(const Any* object, int index, void* dest) {
  auto* self = static_cast<const WireFormatFault*>(object);
  if (index == 0) {
    *static_cast<std::string*>(dest) = self->GetReason().GetValue();
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 38);
}

const void* Peek(const Any* object, int index) {
  if (index == 0) return static_cast<const WireFormatFault*>(object)->PeekReason();
  KESTRUM_NOT_REACHED_AT(kUnit, 43);
}

void Set(Any* object, int index, const void* value) {
  if (index == 0) {
    static_cast<WireFormatFault*>(object)->SetReason(
        Kestrum::Optional<std::string>(*static_cast<const std::string*>(value)));
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 51);
}

void Swap(Any* object, int index, void* value) {
  if (index == 0) {
    auto* self = static_cast<WireFormatFault*>(object);
    Binding::SwapOptionalThroughPlain<std::string>(
        value, [self](Kestrum::Optional<std::string>* held) { self->SwapReason(held); });
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 60);
}

bool IsSet(const Any* object, int index) {
  if (index == 0) return static_cast<const WireFormatFault*>(object)->PeekReason() != nullptr;
  return true;
}

void Unset(Any* object, int index) {
  if (index == 0) {
    static_cast<WireFormatFault*>(object)->UnsetReason();
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 72);
}

Any* CreateInstance() { return new WireFormatFault(); }
Any* CreateArray() { return new DataArray<WireFormatFault>(); }

DataTypeInfo MakeInfo() {
  gProperties[0].type = &gStringTypeInfo;
  return DataTypeInfo{&gOlyxFaultWireFormatTypeInfo,
                      &gOlyxFaultInvalidArgumentTypeInfo,
                      gProperties,
                      Get,
                      Peek,
                      Set,
                      Swap,
                      IsSet,
                      Unset,
                      CreateInstance,
                      CreateArray};
}

const DataTypeInfo gInfo = MakeInfo();
std::atomic<DataObjectType*> gType{nullptr};

DataObjectType* TheType() {
  DataObjectType* type = gType.load(std::memory_order_acquire);
  if (type) return type;
  // Creating from the same record again returns the existing type.
  type = CreateDataObjectType(&gInfo);
  gType.store(type, std::memory_order_release);
  return type;
}

const Type* const* LoadTypes(int& count) {
  static const Type* types[1];
  types[0] = TheType();
  count = 1;
  return types;
}

TypeInfoLoader gLoader("lumo-wire", nullptr, LoadTypes);

// Text for a fault's strings: what Validate<std::string> would refuse becomes
// '?', so that composing a fault about bad input never fails itself.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (;;) {
    size_t bad = FindInvalidXmlText(out);
    if (bad == std::string::npos) return out;
    out[bad] = '?';
  }
}

}  // namespace

const char* ToWireString(Reason reason) {
  auto index = static_cast<size_t>(reason);
  if (index >= sizeof kReasonStrings / sizeof kReasonStrings[0]) return "malformed";
  return kReasonStrings[index];
}

WireFormatFault::WireFormatFault() = default;
WireFormatFault::WireFormatFault(const WireFormatFault& other)
    : InvalidArgument(other), _reason(other._reason) {}
WireFormatFault::~WireFormatFault() = default;

Type* WireFormatFault::_GetType() const { return TheType(); }
DataObjectType* WireFormatFault::_GetDataType() const { return TheType(); }
WireFormatFault* WireFormatFault::_Clone() const { return new WireFormatFault(*this); }

bool WireFormatFault::_IsEqual(const Any* other, bool looseMatch) const {
  auto* o = static_cast<const WireFormatFault*>(other);
  if (!InvalidArgument::_IsEqual(other, looseMatch)) return false;
  if (!o->_reason.IsSet()) return looseMatch || !_reason.IsSet();
  return _reason == o->_reason;
}

void WireFormatFault::ThrowInternal() { throw Exception(this); }
WireFormatFault::Exception* WireFormatFault::CreateException() { return new Exception(this); }

void WireFormatFault::SetReason(const Kestrum::Optional<std::string>& value) {
  if (&value == &_reason) return;
  if (value.IsSet()) Validate<std::string>(value.GetPtr(), this, 0);
  _reason = value;
}

void WireFormatFault::SwapReason(Kestrum::Optional<std::string>* const value) {
  KESTRUM_ASSERT_AT(value, kUnit, 150);
  if (value->IsSet()) Validate<std::string>(value->GetPtr(), this, 0);
  _reason.Swap(*value);
}

WireFormatFault::Exception::Exception(WireFormatFault* fault) : InvalidArgument::Exception(fault) {}
WireFormatFault::Exception::Exception(const Exception& other) : InvalidArgument::Exception(other) {}
WireFormatFault::Exception::~Exception() = default;

WireFormatFault* WireFormatFault::Exception::GetFault() const {
  auto* fault = dynamic_cast<WireFormatFault*>(_fault.Get());
  KESTRUM_ASSERT_AT(fault, kUnit, 163);
  return fault;
}

Kestrum::Exception* WireFormatFault::Exception::Clone() const { return new Exception(*this); }
void WireFormatFault::Exception::Throw() const { throw Exception(*this); }

void ThrowWireFault(Reason reason, const std::string& path, const std::string& detail) {
  auto fault = Kestrum::MakeRef<WireFormatFault>();
  fault->SetReason(Kestrum::Optional<std::string>(ToWireString(reason)));
  fault->SetInvalidProperty(Kestrum::Optional<std::string>(Printable(path)));
  std::string message = ToWireString(reason);
  if (!path.empty()) message += " at " + path;
  if (!detail.empty()) message += ": " + detail;
  fault->SetMsg(Printable(message));
  throw WireFormatFault::Exception(fault.Get());
}

}  // namespace Wire

template <>
DataObjectType* GetDoType<Wire::WireFormatFault>() {
  return Wire::TheType();
}

}  // namespace Lumo
