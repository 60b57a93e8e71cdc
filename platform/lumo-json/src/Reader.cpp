#include "Reader.h"

#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/Validate.h>

#include <limits>
#include <memory>

#include "TextForms.h"

namespace Lumo {
namespace Json {
namespace Detail {

namespace {

using simdjson::dom::element_type;

// A parser's memory beyond this is given back after the document is read.
constexpr size_t kKeptParserBytes = 1u << 20;

const char* JsonTypeName(Element element) {
  switch (element.type()) {
    case element_type::ARRAY:
      return "an array";
    case element_type::OBJECT:
      return "an object";
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return "a number";
    case element_type::STRING:
      return "a string";
    case element_type::BOOL:
      return "a boolean";
    case element_type::NULL_VALUE:
      return "null";
  }
  return "a value";
}

bool IsNull(Element element) { return element.type() == element_type::NULL_VALUE; }

// Which slots were given.
class SeenSet {
 public:
  explicit SeenSet(size_t count) : _seen(count) {}
  bool TestAndSet(size_t i) {
    bool was = _seen[i] != 0;
    _seen[i] = 1;
    return was;
  }
  bool Test(size_t i) const { return _seen[i] != 0; }

 private:
  std::vector<char> _seen;
};

int SlotOf(const std::vector<Slot>& slots, std::string_view name) {
  for (size_t i = 0; i < slots.size(); ++i) {
    if (name == slots[i].name) return static_cast<int>(i);
  }
  return -1;
}

template <class T>
Kestrum::Ref<Any> Boxed(const T& value) {
  return Kestrum::Ref<Any>(new Primitive<T>(value));
}

// The parser of this thread, kept between documents.
std::unique_ptr<simdjson::dom::parser>& ThreadParser() {
  thread_local std::unique_ptr<simdjson::dom::parser> parser;
  return parser;
}

}  // namespace

ParsedDocument::~ParsedDocument() {
  std::unique_ptr<simdjson::dom::parser>& parser = ThreadParser();
  if (parser && parser->capacity() > kKeptParserBytes) parser.reset();
}

Element ParseDocument(std::string_view document, const Options& options) {
  if (document.size() > options.limits.maxMessageBytes) {
    throw Error(Reason::kTooLarge, "",
                "a document of " + std::to_string(document.size()) +
                    " bytes exceeds the limit of " +
                    std::to_string(options.limits.maxMessageBytes));
  }
  // Each value level takes at most two JSON levels (an anyType array is an
  // object around an array); the readers refuse deeper values with their path.
  int depth = options.limits.maxDepth < Limits::kHardMaxDepth ? options.limits.maxDepth
                                                              : Limits::kHardMaxDepth;
  size_t jsonDepth = 2 * static_cast<size_t>(depth < 1 ? 1 : depth) + 4;
  std::unique_ptr<simdjson::dom::parser>& parser = ThreadParser();
  if (!parser) parser = std::make_unique<simdjson::dom::parser>();
  size_t capacity = document.size() < 64 ? 64 : document.size();
  if (parser->capacity() < capacity || parser->max_depth() != jsonDepth) {
    if (parser->allocate(capacity > parser->capacity() ? capacity : parser->capacity(),
                         jsonDepth) != simdjson::SUCCESS) {
      throw Error(Reason::kTooLarge, "", "no memory to parse the document");
    }
  }
  Element root;
  simdjson::error_code error = parser->parse(document.data(), document.size()).get(root);
  switch (error) {
    case simdjson::SUCCESS:
      return root;
    case simdjson::DEPTH_ERROR:
      throw Error(Reason::kTooDeep, "",
                  "the document nests deeper than " + std::to_string(jsonDepth) + " levels");
    case simdjson::NUMBER_OUT_OF_RANGE:
      throw Error(Reason::kBadValue, "",
                  std::string("a number out of range: ") + simdjson::error_message(error));
    default:
      throw Error(Reason::kMalformed, "",
                  std::string("not JSON: ") + simdjson::error_message(error));
  }
}

// Names the member or item being read for the duration of a scope.
class Reader::Enter {
 public:
  Enter(Reader& r, std::string_view name, int index = -1) : _r(r) {
    _r._frames.push_back(Frame{name, index});
  }
  ~Enter() { _r._frames.pop_back(); }
  Enter(const Enter&) = delete;
  Enter& operator=(const Enter&) = delete;

 private:
  Reader& _r;
};

Reader::Reader(const VersionFilter& filter, const Options& options)
    : _filter(filter),
      _options(options),
      _maxDepth(options.limits.maxDepth < Limits::kHardMaxDepth ? options.limits.maxDepth
                                                                : Limits::kHardMaxDepth) {
  _frames.reserve(32);
}

void Reader::Refuse(Reason reason, const std::string& detail) const {
  std::string path = _root;
  for (const Frame& f : _frames) {
    if (!f.name.empty()) {
      if (!path.empty()) path += '.';
      // Member names as given, shortened: the path is for people.
      path += f.name.substr(0, 64);
    }
    if (f.index >= 0) path += "[" + std::to_string(f.index) + "]";
  }
  throw Error(reason, path, detail);
}

void Reader::CheckDepth(int depth) {
  if (depth > _maxDepth) {
    Refuse(Reason::kTooDeep, "values nest deeper than " + std::to_string(_maxDepth) + " levels");
  }
}

void Reader::CheckVersion(const Type* type) {
  if (!_filter.Accepts(type->GetVersion())) {
    Refuse(Reason::kVersion, std::string("type ") + type->GetName() + " of " + type->GetVersion() +
                                 " is not part of " + _filter.GetVersion());
  }
}

void Reader::BadValue(const char* what, Element element) {
  std::string shown;
  if (element.type() == element_type::STRING) {
    shown = "'" + std::string(std::string_view(element.get_string()).substr(0, 64)) + "'";
  } else {
    shown = JsonTypeName(element);
  }
  Refuse(Reason::kBadValue, shown + " is not a valid " + what);
}

simdjson::dom::object Reader::ObjectOf(Element element, const char* what) {
  simdjson::dom::object object;
  if (element.get_object().get(object) != simdjson::SUCCESS) {
    Refuse(Reason::kMalformed,
           std::string(what) + " is written as an object, not " + JsonTypeName(element));
  }
  return object;
}

const Type* Reader::TypeMember(simdjson::dom::object object) {
  const Type* type = nullptr;
  bool seen = false;
  for (simdjson::dom::key_value_pair member : object) {
    if (member.key != "_type") continue;
    Enter at(*this, "_type");
    if (seen) Refuse(Reason::kDuplicateProperty, "'_type' is given twice");
    seen = true;
    std::string_view name;
    if (member.value.get_string().get(name) != simdjson::SUCCESS) {
      Refuse(Reason::kMalformed,
             std::string("a type name is a string, not ") + JsonTypeName(member.value));
    }
    type = TypeNamed(name);
    if (!type)
      Refuse(Reason::kUnknownType, "unknown type '" + std::string(name.substr(0, 128)) + "'");
  }
  return type;
}

void Reader::Unknown(std::string_view key, const Slot* slot) {
  if (_options.lenient) return;
  Enter at(*this, key);
  std::string detail = "member '" + std::string(key.substr(0, 128)) + "' is not known here";
  if (slot) {
    detail += std::string(" (it is of ") + slot->version + ", the document is for " +
              _filter.GetVersion() + ")";
  }
  Refuse(Reason::kUnknownElement, detail);
}

// ---- Plain values -----------------------------------------------------------------------

std::string Reader::ReadString(Element element) {
  std::string_view text;
  if (element.get_string().get(text) != simdjson::SUCCESS) BadValue("string", element);
  if (text.size() > _options.limits.maxStringBytes) {
    Refuse(Reason::kStringTooLong, "a string of " + std::to_string(text.size()) +
                                       " bytes exceeds the limit of " +
                                       std::to_string(_options.limits.maxStringBytes));
  }
  std::string value(text);
  // JSON carries any code point ("\u0000" too); values hold what XML allows.
  std::string why;
  if (FindInvalidXmlText(value, &why) != std::string::npos) {
    Refuse(Reason::kBadValue, "text refused: " + why);
  }
  return value;
}

bool Reader::ReadBool(Element element) {
  bool value;
  if (element.get_bool().get(value) != simdjson::SUCCESS) BadValue("boolean", element);
  return value;
}

int32_t Reader::ReadInt32(Element element) {
  int64_t value;
  if (element.type() != element_type::INT64 || element.get_int64().get(value) ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    BadValue("int", element);
  }
  return static_cast<int32_t>(value);
}

int64_t Reader::ReadInt64(Element element) {
  int64_t value;
  if (element.type() != element_type::INT64 || element.get_int64().get(value)) {
    BadValue("long", element);
  }
  return value;
}

double Reader::ReadDouble(Element element) {
  double value;
  if (element.type() == element_type::STRING) {
    if (!NonFiniteDouble(element.get_string().value_unsafe(), value)) BadValue("double", element);
    return value;
  }
  if (element.get_double().get(value) != simdjson::SUCCESS) BadValue("double", element);
  return value;
}

Kestrum::System::DateTime Reader::ReadDateTime(Element element) {
  std::string_view text;
  Kestrum::System::DateTime value;
  if (element.get_string().get(text) != simdjson::SUCCESS ||
      !Kestrum::System::DateTime::ParseText(text, value)) {
    BadValue("dateTime", element);
  }
  return value;
}

int32_t Reader::ReadEnum(const Type* type, Element element) {
  std::string_view text;
  if (element.get_string().get(text) != simdjson::SUCCESS) BadValue(type->GetName(), element);
  int ordinal = static_cast<const EnumType*>(type)->FromWireString(std::string(text));
  if (ordinal < 0) BadValue(type->GetName(), element);
  return ordinal;
}

Kestrum::Ref<Any> Reader::ReadBoxedPlain(Kind kind, const Type* type, Element element) {
  switch (kind) {
    case Kind::kString:
      return Boxed(ReadString(element));
    case Kind::kBool:
      return Kestrum::Ref<Any>(BoxBool(ReadBool(element)));
    case Kind::kInt:
      return Boxed(ReadInt32(element));
    case Kind::kLong:
      return Boxed(ReadInt64(element));
    case Kind::kDouble:
      return Boxed(ReadDouble(element));
    case Kind::kDateTime:
      return Boxed(ReadDateTime(element));
    case Kind::kTypeName:
      return Boxed(TypeName{ReadString(element)});
    case Kind::kEnum:
      return Kestrum::Ref<Any>(
          static_cast<const EnumType*>(type)->GetFuncs().boxValue(ReadEnum(type, element)));
    default:
      Refuse(Reason::kWrongType, "not a simple value");
  }
}

// ---- Slots ------------------------------------------------------------------------------

Kestrum::Ref<Any> Reader::ReadBoxedSlot(const Slot& slot, Element element,
                                        const std::string& where) {
  _root = where;
  if (IsNull(element)) {
    if (!slot.optional && !slot.array) Refuse(Reason::kMissingProperty, "a value is required here");
    return Kestrum::Ref<Any>();
  }
  if (slot.kind == Kind::kUnresolved) {
    Refuse(Reason::kUnknownType, std::string("the type of '") + slot.name + "' is not known");
  }
  if (slot.array) return ReadArray(slot.kind, slot.type, element, 1);
  return ReadSingle(slot, element, 1);
}

std::vector<Kestrum::Ref<Any>> Reader::ReadSlots(const std::vector<Slot>& slots, Element element) {
  std::vector<Kestrum::Ref<Any>> values(slots.size());
  simdjson::dom::object members = ObjectOf(element, "the arguments");
  SeenSet seen(slots.size());
  for (simdjson::dom::key_value_pair member : members) {
    int index = SlotOf(slots, member.key);
    const Slot* slot = index < 0 ? nullptr : &slots[static_cast<size_t>(index)];
    if (!slot || !_filter.Accepts(slot->version)) {
      Unknown(member.key, slot);
      continue;
    }
    Enter at(*this, member.key);
    if (seen.TestAndSet(static_cast<size_t>(index))) {
      Refuse(Reason::kDuplicateProperty, "'" + std::string(member.key) + "' is given twice");
    }
    if (IsNull(member.value)) {
      if (!slot->optional && !slot->array) {
        Refuse(Reason::kMissingProperty, std::string("required '") + slot->name + "' is null");
      }
      continue;
    }
    if (slot->kind == Kind::kUnresolved) {
      Refuse(Reason::kUnknownType, std::string("the type of '") + slot->name + "' is not known");
    }
    values[static_cast<size_t>(index)] = slot->array
                                             ? ReadArray(slot->kind, slot->type, member.value, 1)
                                             : ReadSingle(*slot, member.value, 1);
  }
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    if (seen.Test(i) || slot.optional || slot.array || !_filter.Accepts(slot.version)) continue;
    Refuse(Reason::kMissingProperty, std::string("required '") + slot.name + "' is missing");
  }
  return values;
}

Kestrum::Ref<Any> Reader::ReadSingle(const Slot& slot, Element element, int depth) {
  switch (slot.kind) {
    case Kind::kData:
      return ReadObject(static_cast<const DataObjectType*>(slot.type), element, depth);
    case Kind::kMoRef:
      return ReadMoRef(slot.type, element);
    case Kind::kAny:
      return ReadAny(element, depth);
    case Kind::kUnresolved:
      Refuse(Reason::kUnknownType, "a value of a type not known to the runtime");
    default:
      return ReadBoxedPlain(slot.kind, slot.type, element);
  }
}

// ---- References -------------------------------------------------------------------------

Kestrum::Ref<Any> Reader::ReadMoRef(const Type* declared, Element element) {
  simdjson::dom::object members = ObjectOf(element, "a managed object reference");
  const Type* type = TypeMember(members);
  if (!type) Refuse(Reason::kMalformed, "a managed object reference without its '_type'");
  if (!type->IsManagedObject()) {
    Refuse(Reason::kWrongType, std::string(type->GetName()) + " is not a managed type");
  }
  if (declared && declared->IsManagedObject() && !type->IsA(declared)) {
    Refuse(Reason::kWrongType, std::string("a reference to a ") + type->GetName() + " where a " +
                                   declared->GetName() + " is declared");
  }
  CheckVersion(type);
  bool haveId = false;
  std::string id;
  for (simdjson::dom::key_value_pair member : members) {
    if (member.key == "_type") continue;
    if (member.key != "_id") {
      Enter at(*this, member.key);
      Refuse(Reason::kUnknownElement, "a reference has only '_type' and '_id'");
    }
    Enter at(*this, "_id");
    if (haveId) Refuse(Reason::kDuplicateProperty, "'_id' is given twice");
    haveId = true;
    id = ReadString(member.value);
  }
  if (!haveId) Refuse(Reason::kMissingProperty, "a managed object reference without its '_id'");
  return Kestrum::Ref<Any>(new MoRef(type->GetName(), id));
}

// ---- anyType ----------------------------------------------------------------------------

Kestrum::Ref<Any> Reader::ReadAny(Element element, int depth) {
  CheckDepth(depth);
  if (IsNull(element)) Refuse(Reason::kMissingProperty, "a value is required here, not null");
  simdjson::dom::object members = ObjectOf(element, "a value of type anyType");
  const Type* type = TypeMember(members);
  if (!type) Refuse(Reason::kMalformed, "a value of type anyType without its '_type'");
  Kind kind = ValueKindOf(type->IsArray() ? type->GetElementType() : type);
  if (kind == Kind::kData && !type->IsArray()) {
    return ReadObject(static_cast<const DataObjectType*>(type), element, depth);
  }
  if (kind == Kind::kMoRef && !type->IsArray()) return ReadMoRef(nullptr, element);
  if (kind == Kind::kAny && !type->IsArray()) {
    Refuse(Reason::kWrongType, "'anyType' is not the type of a value");
  }
  if (kind == Kind::kUnresolved) {
    Refuse(Reason::kWrongType, std::string("'") + type->GetName() + "' is not the type of a value");
  }
  CheckVersion(type->IsArray() ? type->GetElementType() : type);
  // Plain values and arrays: "_type" and "_value".
  Kestrum::Ref<Any> value;
  bool haveValue = false;
  for (simdjson::dom::key_value_pair member : members) {
    if (member.key == "_type") continue;
    Enter at(*this, member.key);
    if (member.key != "_value") {
      Refuse(Reason::kUnknownElement, "a typed value has only '_type' and '_value'");
    }
    if (haveValue) Refuse(Reason::kDuplicateProperty, "'_value' is given twice");
    haveValue = true;
    if (IsNull(member.value))
      Refuse(Reason::kMissingProperty, "a value is required here, not null");
    value = type->IsArray() ? ReadArray(kind, type->GetElementType(), member.value, depth + 1)
                            : ReadBoxedPlain(kind, type, member.value);
  }
  if (!haveValue) Refuse(Reason::kMissingProperty, "a typed value without its '_value'");
  return value;
}

// ---- Arrays -----------------------------------------------------------------------------

Kestrum::Ref<Any> Reader::ReadArray(Kind kind, const Type* type, Element element, int depth) {
  CheckDepth(depth);
  simdjson::dom::array items;
  if (element.get_array().get(items) != simdjson::SUCCESS) {
    Refuse(Reason::kMalformed,
           std::string("an array is written as an array, not ") + JsonTypeName(element));
  }
  size_t n = items.size();
  if (n > _options.limits.maxArrayElements) {
    Refuse(
        Reason::kTooManyElements,
        "more than " + std::to_string(_options.limits.maxArrayElements) + " elements in one array");
  }
  // Calls read(item) for each item, naming it; an item is never null.
  auto each = [&](auto&& read) {
    int i = 0;
    for (Element item : items) {
      Enter at(*this, "", i++);
      if (IsNull(item)) Refuse(Reason::kBadValue, "an array item cannot be null");
      read(item);
    }
  };
  switch (kind) {
    case Kind::kData: {
      auto* dataType = static_cast<const DataObjectType*>(type);
      Kestrum::Ref<Any> held(dataType->CreateArray());
      auto* array = static_cast<DataArrayBase*>(held.Get());
      array->Reserve(static_cast<int>(n));
      each([&](Element item) { array->Append(ReadObject(dataType, item, depth + 1).Get()); });
      return held;
    }
    case Kind::kMoRef: {
      auto array = Kestrum::MakeRef<DataArray<MoRef>>();
      array->Reserve(static_cast<int>(n));
      each([&](Element item) { array->DataArrayBase::Append(ReadMoRef(type, item).Get()); });
      return Kestrum::Ref<Any>(array.Get());
    }
    case Kind::kAny: {
      auto array = Kestrum::MakeRef<DataArray<Any>>();
      array->Reserve(static_cast<int>(n));
      each([&](Element item) { array->DataArrayBase::Append(ReadAny(item, depth + 1).Get()); });
      return Kestrum::Ref<Any>(array.Get());
    }
    case Kind::kEnum: {
      auto* enumType = static_cast<const EnumType*>(type);
      auto strings = Kestrum::MakeRef<Array<std::string>>();
      each([&](Element item) { strings->Append(enumType->ToWireString(ReadEnum(type, item))); });
      return Kestrum::Ref<Any>(enumType->GetFuncs().fromStringArray(strings.Get(), enumType));
    }
    default:
      break;
  }
  auto plain = [&](auto read) -> Kestrum::Ref<Any> {
    using T = decltype(read(element));
    auto array = Kestrum::MakeRef<Array<T>>();
    each([&](Element item) { array->Append(read(item)); });
    return Kestrum::Ref<Any>(array.Get());
  };
  switch (kind) {
    case Kind::kString:
      return plain([&](Element e) { return ReadString(e); });
    case Kind::kBool:
      return plain([&](Element e) { return ReadBool(e); });
    case Kind::kInt:
      return plain([&](Element e) { return ReadInt32(e); });
    case Kind::kLong:
      return plain([&](Element e) { return ReadInt64(e); });
    case Kind::kDouble:
      return plain([&](Element e) { return ReadDouble(e); });
    case Kind::kDateTime:
      return plain([&](Element e) { return ReadDateTime(e); });
    case Kind::kTypeName:
      return plain([&](Element e) { return TypeName{ReadString(e)}; });
    default:
      Refuse(Reason::kUnknownType, "an array of a type not known to the runtime");
  }
}

// ---- Data objects -----------------------------------------------------------------------

Kestrum::Ref<Any> Reader::ReadObject(const DataObjectType* declared, Element element, int depth) {
  CheckDepth(depth);
  simdjson::dom::object members = ObjectOf(element, "a data object");
  const DataObjectType* type = declared;
  if (const Type* named = TypeMember(members)) {
    if (!named->IsDataObject()) {
      Refuse(Reason::kWrongType,
             std::string("'") + named->GetName() + "' is not a data object type");
    }
    type = static_cast<const DataObjectType*>(named);
    if (declared && !type->IsA(declared)) {
      Refuse(Reason::kWrongType, std::string("a ") + type->GetName() + " where a " +
                                     declared->GetName() + " is declared");
    }
  }
  if (!type) Refuse(Reason::kMalformed, "a data object without its '_type'");
  // Plans looked up once per document (the shared table takes a lock).
  const DataPlan*& cached = _plans[type];
  if (!cached) cached = &PlanOf(type);
  const DataPlan& plan = *cached;
  if (!plan.complete) {
    Refuse(Reason::kUnknownType, std::string("type ") + type->GetName() + " is not fully created");
  }
  CheckVersion(type);
  Kestrum::Ref<Any> object(type->CreateInstance());
  if (!object) {
    Refuse(Reason::kUnknownType, std::string("type ") + type->GetName() + " has no instances");
  }
  ReadProperties(plan, object.Get(), members, depth);
  return object;
}

void Reader::ReadProperties(const DataPlan& plan, Any* object, simdjson::dom::object members,
                            int depth) {
  SeenSet seen(plan.props.size());
  for (simdjson::dom::key_value_pair member : members) {
    if (member.key == "_type") continue;
    int index = plan.Find(member.key);
    const Slot* slot = index < 0 ? nullptr : &plan.props[static_cast<size_t>(index)];
    if (!slot || !_filter.Accepts(slot->version)) {
      Unknown(member.key, slot);
      continue;
    }
    Enter at(*this, member.key);
    if (seen.TestAndSet(static_cast<size_t>(index))) {
      Refuse(Reason::kDuplicateProperty, "'" + std::string(member.key) + "' is given twice");
    }
    if (IsNull(member.value)) {
      // Null: not set. Only optional values and arrays may be unset.
      if (!slot->optional && !slot->array) {
        Refuse(Reason::kMissingProperty, std::string("required '") + slot->name + "' is null");
      }
      continue;
    }
    if (slot->kind == Kind::kUnresolved) {
      Refuse(Reason::kUnknownType, std::string("the type of '") + slot->name + "' is not known");
    }
    if (!slot->array && IsPlain(slot->kind)) {
      SetPlainProperty(*slot, object, member.value);
      continue;
    }
    Kestrum::Ref<Any> value = slot->array
                                  ? ReadArray(slot->kind, slot->type, member.value, depth + 1)
                                  : ReadSingle(*slot, member.value, depth + 1);
    SetProperty(*slot, object, &value);
  }
  for (size_t i = 0; i < plan.props.size(); ++i) {
    const Slot& slot = plan.props[i];
    if (seen.Test(i) || slot.optional || slot.array || !_filter.Accepts(slot.version)) continue;
    Refuse(Reason::kMissingProperty, std::string("required '") + slot.name + "' is missing");
  }
}

void Reader::SetProperty(const Slot& slot, Any* object, const void* value) {
  try {
    slot.owner->setProperty(object, slot.index, value);
  } catch (const Fault::InvalidArgument::Exception& e) {
    Refuse(Reason::kBadValue, e.what());
  } catch (const Kestrum::TypeMismatchException& e) {
    Refuse(Reason::kWrongType, e.what());
  }
}

void Reader::SetPlainProperty(const Slot& slot, Any* object, Element element) {
  switch (slot.kind) {
    case Kind::kString: {
      std::string value = ReadString(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kBool: {
      bool value = ReadBool(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kInt: {
      int32_t value = ReadInt32(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kLong: {
      int64_t value = ReadInt64(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kDouble: {
      double value = ReadDouble(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kDateTime: {
      Kestrum::System::DateTime value = ReadDateTime(element);
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kTypeName: {
      TypeName value{ReadString(element)};
      SetProperty(slot, object, &value);
      return;
    }
    case Kind::kEnum: {
      int32_t value = ReadEnum(slot.type, element);
      SetProperty(slot, object, &value);
      return;
    }
    default:
      Refuse(Reason::kWrongType, "not a simple value");
  }
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
