#include "Writer.h"

#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/Validate.h>

#include <charconv>
#include <span>
#include <typeinfo>

#include "TextForms.h"

namespace Lumo {
namespace Json {
namespace Detail {

// Names the member or item being written for the duration of a scope.
class Writer::Enter {
 public:
  Enter(Writer& w, const char* name, int index = -1) : _w(w) {
    _w._frames.push_back(Frame{name, index});
  }
  ~Enter() { _w._frames.pop_back(); }
  Enter(const Enter&) = delete;
  Enter& operator=(const Enter&) = delete;

 private:
  Writer& _w;
};

namespace {

template <class T>
const T* As(const Any* value) {
  return typeid(*value) == typeid(T) ? static_cast<const T*>(value) : nullptr;
}

std::string ClassOf(const Any* value) { return Kestrum::DemangleClassName(typeid(*value)); }

template <class Int>
void AppendInt(std::string& out, Int value) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

Writer::Writer(const VersionFilter& filter, const Limits& limits, std::string& out)
    : _filter(filter),
      _limits(limits),
      _maxDepth(limits.maxDepth < Limits::kHardMaxDepth ? limits.maxDepth : Limits::kHardMaxDepth),
      _out(out) {
  _frames.reserve(32);
}

void Writer::Refuse(Reason reason, const std::string& detail) const {
  std::string path = _root;
  for (const Frame& f : _frames) {
    if (*f.name) {
      if (!path.empty()) path += '.';
      path += f.name;
    }
    if (f.index >= 0) path += "[" + std::to_string(f.index) + "]";
  }
  throw Error(reason, path, detail);
}

void Writer::CheckSize() {
  if (_out.size() > _limits.maxMessageBytes) {
    Refuse(Reason::kTooLarge,
           "the document exceeds " + std::to_string(_limits.maxMessageBytes) + " bytes");
  }
}

void Writer::CheckDepth(int depth) {
  if (depth > _maxDepth) {
    Refuse(Reason::kTooDeep, "values nest deeper than " + std::to_string(_maxDepth) + " levels");
  }
}

void Writer::CheckVersion(const Type* type) {
  if (!_filter.Accepts(type->GetVersion())) {
    Refuse(Reason::kVersion, std::string("type ") + type->GetName() + " of " + type->GetVersion() +
                                 " is not part of " + _filter.GetVersion());
  }
}

void Writer::Key(const char* name, bool& first) {
  if (!first) _out.push_back(',');
  first = false;
  _out.push_back('"');
  _out += name;  // wire names and the mapping's own keys need no escaping
  _out += "\":";
}

// ---- Slots ------------------------------------------------------------------------------

void Writer::WriteBoxedSlot(const Slot& slot, const Any* value, const std::string& where) {
  _root = where;
  if (!value) {
    _out += "null";
    return;
  }
  if (slot.kind == Kind::kUnresolved) {
    Refuse(Reason::kUnknownType, std::string("the type of ") + slot.name + " is not known");
  }
  if (slot.array) {
    WriteArray(slot.kind, slot.type, value, 1);
  } else {
    WriteSingle(slot, value, 1);
  }
  CheckSize();
}

void Writer::WriteSingle(const Slot& slot, const Any* value, int depth) {
  switch (slot.kind) {
    case Kind::kData:
      WriteObject(static_cast<const DataObjectType*>(slot.type), value, depth);
      return;
    case Kind::kMoRef:
      WriteMoRef(slot.type, value);
      return;
    case Kind::kAny:
      WriteAny(value, depth);
      return;
    default: {
      int ordinal = 0;
      WritePlain(slot.kind, slot.type, Unbox(slot.kind, slot.type, value, ordinal));
      return;
    }
  }
}

const void* Writer::Unbox(Kind kind, const Type* type, const Any* value, int& ordinal) {
  const void* plain = UnboxPlain(kind, type, value, ordinal);
  if (!plain) {
    Refuse(Reason::kWrongType, std::string("a ") + (type ? type->GetName() : "value") +
                                   " was expected, not " + ClassOf(value));
  }
  return plain;
}

// ---- Plain values -----------------------------------------------------------------------

void Writer::WriteString(const std::string& text) {
  if (text.size() > _limits.maxStringBytes) {
    Refuse(Reason::kStringTooLong, "a string of " + std::to_string(text.size()) +
                                       " bytes exceeds the limit of " +
                                       std::to_string(_limits.maxStringBytes));
  }
  // Printable ASCII needs neither a check nor escapes: most text is.
  bool plain = true;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '"' || c == '\\') {
      plain = false;
      break;
    }
  }
  if (plain) {
    _out.push_back('"');
    _out += text;
    _out.push_back('"');
    return;
  }
  // Text stored without validation: only what the type system accepts leaves.
  std::string why;
  size_t at = FindInvalidXmlText(text, &why);
  if (at != std::string::npos) {
    Refuse(Reason::kBadValue, "text refused: " + why + " at byte offset " + std::to_string(at));
  }
  AppendQuoted(_out, text);
}

void Writer::WritePlain(Kind kind, const Type* type, const void* value) {
  switch (kind) {
    case Kind::kString:
      WriteString(*static_cast<const std::string*>(value));
      return;
    case Kind::kBool:
      _out += *static_cast<const bool*>(value) ? "true" : "false";
      return;
    case Kind::kInt:
      AppendInt(_out, *static_cast<const int32_t*>(value));
      return;
    case Kind::kLong:
      AppendInt(_out, *static_cast<const int64_t*>(value));
      return;
    case Kind::kDouble:
      AppendDouble(_out, *static_cast<const double*>(value));
      return;
    case Kind::kDateTime:
      if (!FormatDateTime(*static_cast<const Kestrum::System::DateTime*>(value), _out)) {
        Refuse(Reason::kBadValue, "a date outside the years 1 to 9999");
      }
      return;
    case Kind::kTypeName:
      WriteString(static_cast<const TypeName*>(value)->name);
      return;
    case Kind::kEnum: {
      int ordinal = *static_cast<const int32_t*>(value);
      const char* text = static_cast<const EnumType*>(type)->ToWireString(ordinal);
      if (!text) {
        Refuse(Reason::kBadValue,
               "ordinal " + std::to_string(ordinal) + " is not a value of " + type->GetName());
      }
      AppendQuoted(_out, text);
      return;
    }
    default:
      Refuse(Reason::kWrongType, "not a simple value");
  }
}

// ---- References -------------------------------------------------------------------------

void Writer::WriteMoRef(const Type* declared, const Any* value) {
  auto* ref = dynamic_cast<const MoRef*>(value);
  if (!ref)
    Refuse(Reason::kWrongType, "a managed object reference was expected, not " + ClassOf(value));
  const Type* type = FindTypeByName(ref->GetTypeName());
  if (!type || !type->IsManagedObject()) {
    Refuse(Reason::kUnknownType,
           "reference to an object of unknown managed type '" + ref->GetTypeName() + "'");
  }
  if (declared && declared->IsManagedObject() && !type->IsA(declared)) {
    Refuse(Reason::kWrongType, "a reference to a " + ref->GetTypeName() + " where a " +
                                   declared->GetName() + " is declared");
  }
  CheckVersion(type);
  _out += "{\"_type\":";
  AppendQuoted(_out, type->GetName());
  _out += ",\"_id\":";
  WriteString(ref->GetId());
  _out.push_back('}');
}

// ---- anyType ----------------------------------------------------------------------------

void Writer::WriteAny(const Any* value, int depth) {
  if (!value) {
    _out += "null";
    return;
  }
  CheckDepth(depth);
  const Type* type = value->_GetType();
  if (!type) Refuse(Reason::kUnknownType, "a value of class " + ClassOf(value) + " has no type");
  if (type->IsArray()) {
    const Type* element = type->GetElementType();
    Kind kind = ValueKindOf(element);
    if (kind == Kind::kUnresolved) {
      Refuse(Reason::kUnknownType, std::string("array type ") + type->GetName());
    }
    CheckVersion(element);
    _out += "{\"_type\":";
    AppendQuoted(_out, type->GetName());
    _out += ",\"_value\":";
    WriteArray(kind, element, value, depth + 1);
    _out.push_back('}');
    return;
  }
  Kind kind = ValueKindOf(type);
  switch (kind) {
    case Kind::kData:
      WriteObject(nullptr, value, depth);
      return;
    case Kind::kMoRef:
      WriteMoRef(nullptr, value);
      return;
    case Kind::kAny:
    case Kind::kUnresolved:
      Refuse(Reason::kUnknownType, std::string("a value of type ") + type->GetName());
    default: {
      CheckVersion(type);
      int ordinal = 0;
      const void* plain = Unbox(kind, type, value, ordinal);
      _out += "{\"_type\":";
      AppendQuoted(_out, type->GetName());
      _out += ",\"_value\":";
      WritePlain(kind, type, plain);
      _out.push_back('}');
      return;
    }
  }
}

// ---- Arrays -----------------------------------------------------------------------------

void Writer::WriteArray(Kind kind, const Type* element, const Any* array, int depth) {
  CheckDepth(depth);
  auto count = [&](size_t n) {
    if (n > _limits.maxArrayElements) {
      Refuse(Reason::kTooManyElements, "array of " + std::to_string(n) +
                                           " elements exceeds the limit of " +
                                           std::to_string(_limits.maxArrayElements));
    }
  };
  _out.push_back('[');
  switch (kind) {
    case Kind::kData:
    case Kind::kMoRef:
    case Kind::kAny: {
      auto* data = dynamic_cast<const DataArrayBase*>(array);
      if (!data) Refuse(Reason::kWrongType, "an array was expected, not " + ClassOf(array));
      std::span<const Kestrum::Ref<Any>> storage = data->GetStorage();
      count(storage.size());
      bool first = true;
      for (size_t i = 0; i < storage.size(); ++i) {
        const Any* item = storage[i].Get();
        if (!item) continue;  // a hole is not a value: arrays hold none
        if (!first) _out.push_back(',');
        first = false;
        Enter at(*this, "", static_cast<int>(i));
        if (kind == Kind::kData) {
          WriteObject(static_cast<const DataObjectType*>(element), item, depth + 1);
        } else if (kind == Kind::kMoRef) {
          WriteMoRef(element, item);
        } else {
          WriteAny(item, depth + 1);
        }
      }
      _out.push_back(']');
      return;
    }
    case Kind::kEnum: {
      if (array->_GetType() != element->GetArrayType()) {
        Refuse(Reason::kWrongType, std::string("an array of ") + element->GetName() +
                                       " was expected, not " + ClassOf(array));
      }
      auto* type = static_cast<const EnumType*>(element);
      Kestrum::Ref<Array<std::string>> strings;
      type->GetFuncs().toStringArray(array, type, strings);
      count(strings->size());
      bool first = true;
      for (const std::string& s : strings->GetValues()) {
        if (!first) _out.push_back(',');
        first = false;
        WriteString(s);
      }
      _out.push_back(']');
      return;
    }
    default:
      break;
  }
  auto items = [&](const auto* typed) {
    if (!typed) {
      Refuse(Reason::kWrongType, std::string("an array of ") + element->GetName() +
                                     " was expected, not " + ClassOf(array));
    }
    const auto& values = typed->GetValues();
    count(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) _out.push_back(',');
      Enter at(*this, "", static_cast<int>(i));
      const auto& v = values[i];
      WritePlain(kind, element, &v);
    }
  };
  switch (kind) {
    case Kind::kString:
      items(As<Array<std::string>>(array));
      break;
    case Kind::kBool:
      items(As<Array<bool>>(array));
      break;
    case Kind::kInt:
      items(As<Array<int32_t>>(array));
      break;
    case Kind::kLong:
      items(As<Array<int64_t>>(array));
      break;
    case Kind::kDouble:
      items(As<Array<double>>(array));
      break;
    case Kind::kDateTime:
      items(As<Array<Kestrum::System::DateTime>>(array));
      break;
    case Kind::kTypeName:
      items(As<Array<TypeName>>(array));
      break;
    default:
      Refuse(Reason::kUnknownType, "an array of an unknown type");
  }
  _out.push_back(']');
}

// ---- Data objects -----------------------------------------------------------------------

void Writer::WriteObject(const DataObjectType* declared, const Any* object, int depth) {
  CheckDepth(depth);
  const Type* type = object->_GetType();
  if (!type || !type->IsDataObject()) {
    Refuse(Reason::kWrongType, "a data object was expected, not " + ClassOf(object));
  }
  auto* data = static_cast<const DataObjectType*>(type);
  if (declared && data != declared && !data->IsA(declared)) {
    Refuse(Reason::kWrongType, std::string("a ") + data->GetName() + " where a " +
                                   declared->GetName() + " is declared");
  }
  // Plans looked up once per document (the shared table takes a lock).
  const DataPlan*& cached = _plans[data];
  if (!cached) cached = &PlanOf(data);
  const DataPlan& plan = *cached;
  if (!plan.complete) {
    Refuse(Reason::kUnknownType, std::string("type ") + data->GetName() + " is not fully created");
  }
  CheckVersion(data);
  _out.push_back('{');
  bool first = true;
  if (data != declared) {
    Key("_type", first);
    AppendQuoted(_out, data->GetName());
  }
  for (const Slot& slot : plan.props) {
    if (!_filter.Accepts(slot.version)) continue;
    const void* value = slot.owner->peekProperty(object, slot.index);
    Enter at(*this, slot.name);
    if (!value) {
      if (slot.RequiredReference()) Refuse(Reason::kNotSet, "required property is not set");
      continue;
    }
    Key(slot.name, first);
    if (slot.array) {
      WriteArray(slot.kind, slot.type, static_cast<const Any*>(value), depth + 1);
      continue;
    }
    switch (slot.kind) {
      case Kind::kData:
        WriteObject(static_cast<const DataObjectType*>(slot.type), static_cast<const Any*>(value),
                    depth + 1);
        break;
      case Kind::kMoRef:
        WriteMoRef(slot.type, static_cast<const Any*>(value));
        break;
      case Kind::kAny:
        WriteAny(static_cast<const Any*>(value), depth + 1);
        break;
      case Kind::kUnresolved:
        Refuse(Reason::kUnknownType, "property of a type not known to the runtime");
      default:
        WritePlain(slot.kind, slot.type, value);
        break;
    }
  }
  _out.push_back('}');
  CheckSize();
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
