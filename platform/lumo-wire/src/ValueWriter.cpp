#include "ValueWriter.h"

#include <Kestrum/DateTime.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <span>
#include <typeinfo>

#include "Text.h"

namespace Lumo {
namespace Wire {
namespace Detail {

// Names the element being written for the duration of a scope.
class ValueWriter::Enter {
 public:
  Enter(ValueWriter& w, const char* name, int index = -1) : _w(w) {
    _w._frames.push_back(Frame{name, index});
  }
  ~Enter() { _w._frames.pop_back(); }
  Enter(const Enter&) = delete;
  Enter& operator=(const Enter&) = delete;

 private:
  ValueWriter& _w;
};

namespace {

template <class T>
const T* As(const Any* value) {
  return typeid(*value) == typeid(T) ? static_cast<const T*>(value) : nullptr;
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kString:
      return "string";
    case Kind::kBool:
      return "boolean";
    case Kind::kInt:
      return "int";
    case Kind::kLong:
      return "long";
    case Kind::kDouble:
      return "double";
    case Kind::kDateTime:
      return "dateTime";
    case Kind::kTypeName:
      return "typeName";
    case Kind::kEnum:
      return "enumeration";
    case Kind::kAny:
      return "anyType";
    case Kind::kData:
      return "data object";
    case Kind::kMoRef:
      return "managed object reference";
    case Kind::kUnresolved:
      break;
  }
  return "unresolved type";
}

}  // namespace

ValueWriter::ValueWriter(XmlOut& out, const VersionFilter& filter, const Limits& limits)
    : _out(out),
      _filter(filter),
      _limits(limits),
      _maxDepth(limits.maxDepth < Limits::kHardMaxDepth ? limits.maxDepth : Limits::kHardMaxDepth) {
  _frames.reserve(32);
}

void ValueWriter::Refuse(Reason reason, const std::string& detail) const {
  std::string path = _root;
  for (const Frame& f : _frames) {
    if (!path.empty() && *f.name) path += '.';
    path += f.name;
    if (f.index >= 0) path += "[" + std::to_string(f.index) + "]";
  }
  ThrowWireFault(reason, path, detail);
}

void ValueWriter::CheckDepth(int depth) {
  if (depth > _maxDepth) {
    Refuse(Reason::kTooDeep, "values nest deeper than " + std::to_string(_maxDepth) + " levels");
  }
}

void ValueWriter::CheckVersion(const TypePlan* plan) {
  if (!_filter.Accepts(plan->versionId)) {
    Refuse(Reason::kVersion, std::string("type ") + plan->Name() + " of " + plan->version +
                                 " is not part of " + _filter.GetVersion());
  }
}

const TypePlan* ValueWriter::PlanOf(const Any* value) {
  const Type* type = value->_GetType();
  if (type == _lastType) return _lastPlan;
  const TypePlan* plan = TypeTable::ForType(type);
  if (!plan) {
    Refuse(Reason::kUnknownType, std::string("value of type ") +
                                     (type ? type->GetName() : "<none>") +
                                     " is not known to the runtime");
  }
  _lastType = type;
  _lastPlan = plan;
  return plan;
}

// ---- Slots --------------------------------------------------------------------------

void ValueWriter::WriteBoxedSlot(const Slot& slot, const Any* value, const std::string& where) {
  if (!value) return;
  _root = where;
  if (slot.kind == Kind::kUnresolved) {
    Refuse(Reason::kUnknownType, std::string("the type of ") + slot.name + " is not known");
  }
  if (slot.array) {
    WriteArray(slot.open, slot.close, slot.kind, slot.plan, value, 1);
  } else {
    WriteSingle(slot.open, slot.close, slot.kind, slot.plan, value, 1);
  }
}

void ValueWriter::WriteSingle(std::string_view open, std::string_view close, Kind kind,
                              const TypePlan* plan, const Any* value, int depth) {
  switch (kind) {
    case Kind::kData:
      WriteObject(open, close, plan, value, depth);
      return;
    case Kind::kMoRef:
      WriteMoRef(open, close, plan, value, false);
      return;
    case Kind::kAny:
      WriteAnyValue(open, close, value, depth);
      return;
    case Kind::kUnresolved:
      Refuse(Reason::kUnknownType, "a value of an unknown type");
    default: {
      int ordinal = 0;
      const void* plain = Unbox(kind, plan, value, ordinal);
      WritePlainElement(open, close, kind, plan, plain);
      return;
    }
  }
}

const void* ValueWriter::Unbox(Kind kind, const TypePlan* plan, const Any* value, int& ordinal) {
  const void* plain = UnboxPlain(kind, plan ? plan->type : nullptr, value, ordinal);
  if (!plain) {
    Refuse(Reason::kWrongType, std::string("a ") + KindName(kind) + " was expected, not " +
                                   Kestrum::DemangleClassName(typeid(*value)));
  }
  return plain;
}

// ---- Plain values -----------------------------------------------------------------------

void ValueWriter::WriteString(const std::string& text) {
  if (!_out.Text(text.data(), text.size())) {
    std::string why;
    size_t at = FindInvalidXmlText(text, &why);
    Refuse(Reason::kBadValue, "text XML cannot carry: " + why + " at byte offset " +
                                  std::to_string(at == std::string::npos ? 0 : at));
  }
}

void ValueWriter::WritePlainText(Kind kind, const TypePlan* plan, const void* value) {
  switch (kind) {
    case Kind::kString:
      WriteString(*static_cast<const std::string*>(value));
      return;
    case Kind::kBool:
      if (*static_cast<const bool*>(value)) {
        _out.Put("true", 4);
      } else {
        _out.Put("false", 5);
      }
      return;
    case Kind::kInt: {
      char* p = _out.Reserve(kMaxNumberText);
      _out.Commit(FormatInt(p, *static_cast<const int32_t*>(value)));
      return;
    }
    case Kind::kLong: {
      char* p = _out.Reserve(kMaxNumberText);
      _out.Commit(FormatInt(p, *static_cast<const int64_t*>(value)));
      return;
    }
    case Kind::kDouble: {
      char* p = _out.Reserve(kMaxNumberText);
      _out.Commit(FormatDouble(p, *static_cast<const double*>(value)));
      return;
    }
    case Kind::kDateTime: {
      char* p = _out.Reserve(kMaxNumberText);
      char* end = FormatDateTime(p, *static_cast<const Kestrum::System::DateTime*>(value));
      if (!end) Refuse(Reason::kBadValue, "a date outside the years 1 to 9999");
      _out.Commit(end);
      return;
    }
    case Kind::kTypeName:
      WriteString(static_cast<const TypeName*>(value)->name);
      return;
    case Kind::kEnum: {
      int ordinal = *static_cast<const int32_t*>(value);
      const char* text = plan->enumType->ToWireString(ordinal);
      if (!text) {
        Refuse(Reason::kBadValue,
               "ordinal " + std::to_string(ordinal) + " is not a value of " + plan->Name());
      }
      _out.Put(text, std::strlen(text));
      return;
    }
    default:
      Refuse(Reason::kWrongType, "not a simple value");
  }
}

void ValueWriter::WritePlainElement(std::string_view open, std::string_view close, Kind kind,
                                    const TypePlan* plan, const void* value) {
  _out.Put(open);
  _out.Put('>');
  WritePlainText(kind, plan, value);
  _out.Put(close);
}

// ---- References -------------------------------------------------------------------------

void ValueWriter::WriteMoRef(std::string_view open, std::string_view close,
                             const TypePlan* declared, const Any* value, bool withXsiType) {
  auto* ref = dynamic_cast<const MoRef*>(value);
  if (!ref) {
    Refuse(Reason::kWrongType, "a managed object reference was expected, not " +
                                   Kestrum::DemangleClassName(typeid(*value)));
  }
  const TypePlan* plan = TypeTable::ForTypeName(ref->GetTypeName());
  if (!plan || !plan->managed) {
    Refuse(Reason::kUnknownType,
           "reference to an object of unknown managed type '" + ref->GetTypeName() + "'");
  }
  if (declared && declared->managed && !plan->managed->IsA(declared->managed)) {
    Refuse(Reason::kWrongType, "a reference to a " + ref->GetTypeName() + " where a " +
                                   declared->Name() + " is declared");
  }
  CheckVersion(plan);
  _out.Put(open);
  if (withXsiType) _out.Put(" xsi:type=\"ManagedObjectReference\"");
  _out.Put(plan->typeAttr);
  _out.Put('>');
  WriteString(ref->GetId());
  _out.Put(close);
}

// ---- anyType ---------------------------------------------------------------------------

void ValueWriter::WriteAnyValue(std::string_view open, std::string_view close, const Any* value,
                                int depth) {
  CheckDepth(depth);
  const Type* type = value->_GetType();
  if (type && type->IsArray()) {
    const TypePlan* element = TypeTable::ForType(type->GetElementType());
    if (!element) Refuse(Reason::kUnknownType, std::string("array type ") + type->GetName());
    CheckVersion(element);
    _out.Put(open);
    _out.Put(element->arrayXsiAttr);
    _out.Put('>');
    WriteArray(element->itemOpen, element->itemClose, element->kind, element, value, depth + 1);
    _out.Put(close);
    return;
  }
  const TypePlan* plan = PlanOf(value);
  switch (plan->kind) {
    case Kind::kData:
      WriteObject(open, close, nullptr, value, depth);
      return;
    case Kind::kMoRef:
      WriteMoRef(open, close, nullptr, value, true);
      return;
    case Kind::kAny:
    case Kind::kUnresolved:
      Refuse(Reason::kUnknownType, std::string("a value of type ") + plan->Name());
    default: {
      CheckVersion(plan);
      int ordinal = 0;
      const void* plain = Unbox(plan->kind, plan, value, ordinal);
      _out.Put(open);
      _out.Put(plan->xsiAttr);
      _out.Put('>');
      WritePlainText(plan->kind, plan, plain);
      _out.Put(close);
      return;
    }
  }
}

// ---- Arrays ------------------------------------------------------------------------------

void ValueWriter::WriteArray(std::string_view open, std::string_view close, Kind kind,
                             const TypePlan* element, const Any* array, int depth) {
  CheckDepth(depth);
  auto items = [&](size_t count) {
    if (count > _limits.maxArrayElements) {
      Refuse(Reason::kTooManyElements, "array of " + std::to_string(count) +
                                           " elements exceeds the limit of " +
                                           std::to_string(_limits.maxArrayElements));
    }
  };
  switch (kind) {
    case Kind::kData:
    case Kind::kMoRef:
    case Kind::kAny: {
      auto* data = dynamic_cast<const DataArrayBase*>(array);
      if (!data) {
        Refuse(Reason::kWrongType,
               "an array was expected, not " + Kestrum::DemangleClassName(typeid(*array)));
      }
      std::span<const Kestrum::Ref<Any>> storage = data->GetStorage();
      items(storage.size());
      for (size_t i = 0; i < storage.size(); ++i) {
        const Any* item = storage[i].Get();
        if (!item) continue;
        Enter at(*this, "", static_cast<int>(i));
        if (kind == Kind::kData) {
          WriteObject(open, close, element, item, depth + 1);
        } else if (kind == Kind::kMoRef) {
          WriteMoRef(open, close, element, item, false);
        } else {
          WriteAnyValue(open, close, item, depth + 1);
        }
      }
      return;
    }
    case Kind::kEnum: {
      if (array->_GetType() != element->type->GetArrayType()) {
        Refuse(Reason::kWrongType, std::string("an array of ") + element->Name() +
                                       " was expected, not " +
                                       Kestrum::DemangleClassName(typeid(*array)));
      }
      Kestrum::Ref<Array<std::string>> strings;
      element->enumType->GetFuncs().toStringArray(array, element->enumType, strings);
      items(strings->size());
      for (const std::string& s : strings->GetValues()) {
        _out.Put(open);
        _out.Put('>');
        WriteString(s);
        _out.Put(close);
      }
      return;
    }
    default:
      break;
  }
  auto plainItems = [&](const auto* typed) {
    if (!typed) {
      Refuse(Reason::kWrongType, std::string("an array of ") + KindName(kind) +
                                     " was expected, not " +
                                     Kestrum::DemangleClassName(typeid(*array)));
    }
    const auto& values = typed->GetValues();
    items(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      const auto& v = values[i];
      WritePlainElement(open, close, kind, element, &v);
    }
  };
  switch (kind) {
    case Kind::kString:
      plainItems(As<Array<std::string>>(array));
      return;
    case Kind::kBool:
      plainItems(As<Array<bool>>(array));
      return;
    case Kind::kInt:
      plainItems(As<Array<int32_t>>(array));
      return;
    case Kind::kLong:
      plainItems(As<Array<int64_t>>(array));
      return;
    case Kind::kDouble:
      plainItems(As<Array<double>>(array));
      return;
    case Kind::kDateTime:
      plainItems(As<Array<Kestrum::System::DateTime>>(array));
      return;
    case Kind::kTypeName:
      plainItems(As<Array<TypeName>>(array));
      return;
    default:
      Refuse(Reason::kUnknownType, "an array of an unknown type");
  }
}

// ---- Data objects -------------------------------------------------------------------------

void ValueWriter::WriteObject(std::string_view open, std::string_view close,
                              const TypePlan* declared, const Any* object, int depth,
                              const TypePlan* as) {
  CheckDepth(depth);
  const TypePlan* plan = as;
  if (!plan) {
    plan = PlanOf(object);
    if (plan->kind != Kind::kData) {
      Refuse(Reason::kWrongType,
             std::string("a data object was expected, not a value of type ") + plan->Name());
    }
    if (declared && plan != declared && !plan->data->IsA(declared->type)) {
      Refuse(Reason::kWrongType,
             std::string("a ") + plan->Name() + " where a " + declared->Name() + " is declared");
    }
  }
  if (!plan->complete) {
    Refuse(Reason::kUnknownType, std::string("type ") + plan->Name() + " is not fully created");
  }
  CheckVersion(plan);
  _out.Put(open);
  if (!declared || declared->type != plan->type) _out.Put(plan->xsiAttr);
  _out.Put('>');
  WriteProperties(*plan, object, depth);
  _out.Put(close);
}

void ValueWriter::WriteProperties(const TypePlan& plan, const Any* object, int depth) {
  for (const Slot& slot : plan.props) {
    if (!_filter.Accepts(slot.versionId)) continue;
    const void* value = slot.owner->peekProperty(object, slot.index);
    if (!value) {
      if (slot.RequiredReference()) {
        Enter at(*this, slot.name);
        Refuse(Reason::kNotSet, "required property is not set");
      }
      continue;
    }
    Enter at(*this, slot.name);
    if (slot.array) {
      WriteArray(slot.open, slot.close, slot.kind, slot.plan, static_cast<const Any*>(value),
                 depth + 1);
      continue;
    }
    switch (slot.kind) {
      case Kind::kData:
        WriteObject(slot.open, slot.close, slot.plan, static_cast<const Any*>(value), depth + 1);
        break;
      case Kind::kMoRef:
        WriteMoRef(slot.open, slot.close, slot.plan, static_cast<const Any*>(value), false);
        break;
      case Kind::kAny:
        WriteAnyValue(slot.open, slot.close, static_cast<const Any*>(value), depth + 1);
        break;
      case Kind::kUnresolved:
        Refuse(Reason::kUnknownType, "property of a type not known to the runtime");
      default:
        WritePlainElement(slot.open, slot.close, slot.kind, slot.plan, value);
        break;
    }
  }
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
