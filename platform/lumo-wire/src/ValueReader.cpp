#include "ValueReader.h"

#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/Validate.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "NodeAccess.h"
#include "Text.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// Which slots were seen; a word covers most types.
class SeenSet {
 public:
  explicit SeenSet(size_t count) {
    if (count > 64) _more.resize(count);
  }
  bool Test(size_t i) const { return _more.empty() ? (_bits >> i) & 1u : _more[i] != 0; }
  void Set(size_t i) {
    if (_more.empty()) {
      _bits |= uint64_t{1} << i;
    } else {
      _more[i] = 1;
    }
  }

 private:
  uint64_t _bits = 0;
  std::vector<char> _more;
};

// The slot an element name (raw: NUL-terminated and so without a prefix, or
// a local name) names: the one after the last found when the elements come
// in record order, else by the index.
size_t FindSlotRaw(const Slot* slots, size_t count, const NameIndex& names, size_t cursor,
                   const char* name) {
  if (cursor < count && slots[cursor].MatchesRaw(name)) return cursor;
  // The one after it, when an optional value was left out.
  if (cursor + 1 < count && slots[cursor + 1].MatchesRaw(name)) return cursor + 1;
  int found = names.Find(name);
  return found == NameIndex::kNone ? kNone : static_cast<size_t>(found);
}

size_t FindSlot(const Slot* slots, size_t count, const NameIndex& names, size_t cursor,
                std::string_view name) {
  if (cursor < count && slots[cursor].Matches(name)) return cursor;
  if (cursor + 1 < count && slots[cursor + 1].Matches(name)) return cursor + 1;
  int found = names.Find(name);
  return found == NameIndex::kNone ? kNone : static_cast<size_t>(found);
}

template <class T>
Kestrum::Ref<Any> Boxed(T value) {
  return Kestrum::Ref<Any>(new Primitive<T>(std::move(value)));
}

// An enumeration value as read: its ordinal and its text.
struct EnumValue {
  int32_t ordinal;
  std::string_view text;
};

// A plain kind whose values are T parsed from the text by Parse; what names
// the type in a refusal.
template <class T, bool (*Parse)(std::string_view, T&)>
struct ParsedKind {
  using Type = T;
  static constexpr auto kParse = Parse;
  const char* what;
};
// A plain kind read its own way: strings, type names and enumerations.
template <class T>
struct OtherKind {
  using Type = T;
};

// The one switch over the plain kinds: calls use with the kind as a type
// (ParsedKind or OtherKind), whose values ReadPlain reads. Each caller is
// compiled once per kind, so the switch is taken once per value or array.
template <class Use>
decltype(auto) ForPlainKind(pugi::xml_node node, Kind kind, Use&& use) {
  using Kestrum::System::DateTime;
  switch (kind) {
    case Kind::kString:
      return use(OtherKind<std::string>{});
    case Kind::kBool:
      return use(ParsedKind<bool, ParseBool>{"boolean"});
    case Kind::kInt:
      return use(ParsedKind<int32_t, ParseInt32>{"int"});
    case Kind::kLong:
      return use(ParsedKind<int64_t, ParseInt64>{"long"});
    case Kind::kDouble:
      return use(ParsedKind<double, ParseDouble>{"double"});
    case Kind::kDateTime:
      return use(ParsedKind<DateTime, ParseDateTime>{"dateTime"});
    case Kind::kTypeName:
      return use(OtherKind<TypeName>{});
    case Kind::kEnum:
      return use(OtherKind<EnumValue>{});
    default:
      break;
  }
  Fail(Reason::kWrongType, node, "not a simple value");
}

}  // namespace

ValueReader::ValueReader(const VersionFilter& filter, const Options& options)
    : _filter(filter),
      _options(options),
      _maxDepth(options.limits.maxDepth < Limits::kHardMaxDepth ? options.limits.maxDepth
                                                                : Limits::kHardMaxDepth) {}

bool ValueReader::HasElementChild(pugi::xml_node node) {
  for (pugi::xml_node child = Node::FirstChild(node); Node::Is(child);
       child = Node::NextSibling(child)) {
    if (Node::Type(child) == pugi::node_element) return true;
  }
  return false;
}

pugi::xml_node ValueReader::ElementFrom(pugi::xml_node node) {
  for (; Node::Is(node); node = Node::NextSibling(node)) {
    switch (Node::Type(node)) {
      case pugi::node_element:
        return node;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        if (!IsBlank(Node::Value(node))) {
          Fail(Reason::kMalformed, node.parent(), "text among elements");
        }
        break;
      default:
        break;
    }
  }
  return node;
}

pugi::xml_node ValueReader::NextElement(pugi::xml_node node) {
  return ElementFrom(Node::NextSibling(node));
}

ResolvedName ValueReader::NameOf(pugi::xml_node node) {
  ElementScope scope(_scope, node);
  return _scope.Element(node);
}

void ValueReader::CheckInService(pugi::xml_node node, const ResolvedName& name) {
  if (name.ns == _serviceNs) return;
  Fail(Reason::kUnknownElement, node,
       "element '" + std::string(name.local) + "' is " +
           (name.ns == kNoNamespace ? std::string("in no namespace")
                                    : "in namespace '" + std::string(_scope.UriOf(name.ns)) + "'") +
           ", not in the service's namespace '" + std::string(_scope.UriOf(_serviceNs)) + "'");
}

bool ValueReader::IsNil(pugi::xml_node node) {
  pugi::xml_attribute first = Node::FirstAttribute(node);
  if (!Node::Is(first)) return false;
  ElementScope scope(_scope, node, first);
  return IsNilHere(node, first);
}

bool ValueReader::IsNilHere(pugi::xml_node node, pugi::xml_attribute first) {
  XsiAttributes xsi = XsiOf(_scope, first);
  if (!xsi.nil || !IsNilValue(node, xsi.nil)) return false;
  CheckNilEmpty(node);
  return true;
}

void ValueReader::CheckNilEmpty(pugi::xml_node node) {
  for (pugi::xml_node child = Node::FirstChild(node); Node::Is(child);
       child = Node::NextSibling(child)) {
    pugi::xml_node_type type = Node::Type(child);
    bool content =
        type == pugi::node_element ||
        ((type == pugi::node_pcdata || type == pugi::node_cdata) && !IsBlank(Node::Value(child)));
    if (content) Fail(Reason::kMalformed, node, "an element with xsi:nil=\"true\" has content");
  }
}

XsiAttributes ValueReader::XsiAttributesOf(pugi::xml_node node, const Attributes& attributes,
                                           ElementScope& scope) {
  if (!Node::Is(attributes.first)) return XsiAttributes();
  AttributeScan scan =
      attributes.scanned ? attributes.scan : ScanAttributes(_scope, attributes.first);
  if (!scan.declares) return scan.xsi;
  scope.Enter(node, attributes.first);
  return XsiOf(_scope, attributes.first);
}

void ValueReader::TooDeep(pugi::xml_node node) {
  Fail(Reason::kTooDeep, node, "values nest deeper than " + std::to_string(_maxDepth) + " levels");
}

void ValueReader::NotOfVersion(pugi::xml_node node, const TypePlan* plan) {
  Fail(Reason::kVersion, node,
       std::string("type ") + plan->Name() + " of " + plan->version + " is not part of " +
           _filter.GetVersion());
}

void ValueReader::BadValue(pugi::xml_node node, const char* what, std::string_view text) {
  std::string shown(text.substr(0, 64));
  Fail(Reason::kBadValue, node, "'" + std::string(shown) + "' is not a valid " + what);
}

std::string_view ValueReader::Text(pugi::xml_node node) {
  return TextOf(node, _options.limits, _scratch);
}

// Text that becomes a string value without passing a record setter, which
// would validate it.
std::string ValueReader::StringOf(pugi::xml_node node) {
  std::string text(Text(node));
  std::string reason;
  if (FindInvalidXmlText(text, &reason) != std::string::npos) {
    Fail(Reason::kBadValue, node, "text refused: " + reason);
  }
  return text;
}

XsiShape ValueReader::XsiTypeOf(pugi::xml_node node, const char* raw, std::string_view& shown) {
  std::string_view value(raw);
  const uint64_t generation = _scope.Generation();
  for (const XsiCacheEntry& entry : _xsiCache) {
    if (entry.shape.plan && entry.generation == generation && entry.raw == value) {
      shown = value;
      return entry.shape;
    }
  }
  if (value.find('&') != std::string_view::npos) {
    if (!Unescape(raw, value.size(), _attribute)) {
      Fail(Reason::kMalformed, node, "bad entity reference in xsi:type");
    }
    value = _attribute;
  }
  ResolvedName name = _scope.QName(node, value);
  shown = value;
  XsiShape shape;
  if (name.ns == kXsdNs || name.ns == _serviceNs) {
    shape = TypeTable::ForXsiType(name.ns == kXsdNs, name.local);
  } else {
    Fail(Reason::kUnknownType, node,
         "type '" + std::string(shown) + "' is " +
             (name.ns == kNoNamespace
                  ? std::string("in no namespace")
                  : "in namespace '" + std::string(_scope.UriOf(name.ns)) + "'") +
             ": types are the XML Schema's or the service's ('" +
             std::string(_scope.UriOf(_serviceNs)) + "')");
  }
  if (!shape.plan) {
    Fail(
        Reason::kUnknownType, node,
        "unknown type '" + std::string(shown) + "' (" + _scope.Describe(name.ns, name.local) + ")");
  }
  if (value.data() == raw) {  // text with references is not kept
    XsiCacheEntry& entry = _xsiCache[_xsiNext++ % (sizeof _xsiCache / sizeof _xsiCache[0])];
    entry.raw.assign(value.data(), value.size());
    entry.generation = generation;
    entry.shape = shape;
  }
  return shape;
}

int ValueReader::EnumOrdinal(pugi::xml_node node, const TypePlan* plan, std::string_view text) {
  int ordinal = plan->enumType->FromWireString(std::string(text));
  if (ordinal < 0) BadValue(node, plan->Name(), text);
  return ordinal;
}

template <class PlainKind>
typename PlainKind::Type ValueReader::ReadPlain(pugi::xml_node node,
                                                [[maybe_unused]] const TypePlan* plan,
                                                [[maybe_unused]] PlainKind kind) {
  using T = typename PlainKind::Type;
  if constexpr (requires { PlainKind::kParse; }) {
    std::string_view text = Text(node);
    T value;
    if (!PlainKind::kParse(text, value)) BadValue(node, kind.what, text);
    return value;
  } else if constexpr (std::is_same_v<T, EnumValue>) {
    std::string_view text = Text(node);
    return EnumValue{EnumOrdinal(node, plan, text), text};
  } else if constexpr (std::is_same_v<T, TypeName>) {
    return TypeName{StringOf(node)};
  } else {
    static_assert(std::is_same_v<T, std::string>);
    return StringOf(node);
  }
}

void ValueReader::TooManyItems(pugi::xml_node item) {
  Fail(Reason::kTooManyElements, item,
       "more than " + std::to_string(_options.limits.maxArrayElements) + " elements in one array");
}

// ---- Matching children with slots --------------------------------------------------------

template <class Sink>
void ValueReader::MatchChildren(pugi::xml_node parent, pugi::xml_node first, const Slot* slots,
                                size_t count, const NameIndex& names, bool checkRequired,
                                Sink&& sink) {
  SeenSet seen(count);
  size_t cursor = 0;
  pugi::xml_node child = ElementFrom(first);
  while (Node::Is(child)) {
    Attributes attributes{Node::FirstAttribute(child)};
    size_t index = kNone;
    bool nil = false;
    ResolvedName name;
    // The usual spelling: no prefix, no declarations, the service's
    // namespace the default one.
    if (ServiceIsDefault() && DeclaresNothing(attributes)) [[likely]] {
      index = FindSlotRaw(slots, count, names, cursor, Node::Name(child));
      nil = index != kNone && ScannedNil(child, attributes);
      if (nil) CheckNilEmpty(child);
    }
    // Every element of the run spelled as the slot's own name: the items'
    // names need no second look.
    bool rawNames = index != kNone;
    if (index != kNone) {
      name.ns = _serviceNs;
      name.local = std::string_view(slots[index].name, slots[index].nameLength);
    } else {
      ElementScope scope(_scope, child, attributes.first);
      name = _scope.Element(child);
      if (name.ns != _serviceNs) {
        if (!_options.lenient) CheckInService(child, name);
        child = NextElement(child);
        continue;
      }
      index = FindSlot(slots, count, names, cursor, name.local);
      nil = Node::Is(attributes.first) && index != kNone && IsNilHere(child, attributes.first);
    }
    if (index == kNone || !_filter.Accepts(slots[index].versionId)) {
      if (!_options.lenient) {
        std::string detail = "element '" + std::string(name.local) + "' is not known here";
        if (index != kNone) {
          detail += std::string(" (it is of ") + slots[index].version + ", the message is for " +
                    _filter.GetVersion() + ")";
        }
        Fail(Reason::kUnknownElement, child, detail);
      }
      child = NextElement(child);
      continue;
    }
    if (seen.Test(index)) {
      Fail(Reason::kDuplicateProperty, child, "'" + std::string(name.local) + "' is given twice");
    }
    seen.Set(index);
    cursor = index + 1;
    const Slot& slot = slots[index];
    pugi::xml_node end = NextElement(child);
    size_t n = 1;
    if (slot.array) {
      // The same element again, however it is spelled: same local name and
      // namespace (the raw names agree in the usual case).
      // (Items that redeclare their own namespace are checked one by one
      // when read.)
      const char* raw = Node::Name(child);
      while (Node::Is(end)) {
        if (std::strcmp(Node::Name(end), raw) != 0) {
          ResolvedName next = NameOf(end);
          if (next.ns != name.ns || !slot.Matches(next.local)) break;
          rawNames = false;
        }
        CountItem(end, n);
        end = NextElement(end);
      }
    }
    if (nil) {
      // Nil: the value is not set. A lone nil element stands for an unset
      // optional value or an empty array; nothing else may be nil.
      if (n > 1) Fail(Reason::kBadValue, child, "an array item cannot be nil");
      if (!slot.optional && !slot.array) {
        Fail(Reason::kMissingProperty, child,
             std::string("required '") + slot.name + "' is nil (xsi:nil)");
      }
      child = end;
      continue;
    }
    sink(index, child, attributes, end, n, rawNames);
    child = end;
  }
  if (!checkRequired) return;
  for (size_t i = 0; i < count; ++i) {
    const Slot& slot = slots[i];
    if (seen.Test(i) || slot.optional || slot.array || !_filter.Accepts(slot.versionId)) continue;
    Fail(Reason::kMissingProperty, parent, std::string("required '") + slot.name + "' is missing");
  }
}

void ValueReader::ReadSlots(pugi::xml_node parent, pugi::xml_node first, const Slot* slots,
                            size_t count, const NameIndex& names,
                            std::vector<Kestrum::Ref<Any>>& values, int depth, bool checkRequired) {
  values.clear();
  values.resize(count);
  MatchChildren(parent, first, slots, count, names, checkRequired,
                [&](size_t index, pugi::xml_node from, const Attributes& attributes,
                    pugi::xml_node end, size_t n, bool rawNames) {
                  const Slot& slot = slots[index];
                  values[index] =
                      slot.array || slot.kind == Kind::kUnresolved
                          ? ReadSlotValue(slot, from, end, n, depth, rawNames)
                          : ReadBoxed(from, attributes, slot.kind, slot.plan, depth + 1);
                });
}

Kestrum::Ref<Any> ValueReader::ReadSlotValue(const Slot& slot, pugi::xml_node first,
                                             pugi::xml_node end, size_t n, int depth,
                                             bool rawNames) {
  if (slot.kind == Kind::kUnresolved) {
    Fail(Reason::kUnknownType, first, std::string("the type of '") + slot.name + "' is not known");
  }
  if (slot.array) {
    return ReadItems(first, end, n, slot.kind, slot.plan, slot.name, depth + 1, rawNames);
  }
  return ReadBoxed(first, Attributes{first.first_attribute()}, slot.kind, slot.plan, depth + 1);
}

// ---- Single values ------------------------------------------------------------------------

Kestrum::Ref<Any> ValueReader::ReadBoxed(pugi::xml_node node, const Attributes& attributes,
                                         Kind kind, const TypePlan* plan, int depth) {
  switch (kind) {
    case Kind::kData:
      return ReadObjectAt(node, attributes, plan, depth);
    case Kind::kMoRef:
      return ReadMoRef(node, plan);
    case Kind::kAny:
      return ReadAnyAt(node, attributes, depth);
    case Kind::kUnresolved:
      Fail(Reason::kUnknownType, node, "a value of a type not known to the runtime");
    default:
      return ForPlainKind(node, kind, [&](auto plain) -> Kestrum::Ref<Any> {
        using T = typename decltype(plain)::Type;
        T value = ReadPlain(node, plan, plain);
        if constexpr (std::is_same_v<T, EnumValue>) {
          return Kestrum::Ref<Any>(plan->enumType->GetFuncs().boxValue(value.ordinal));
        } else if constexpr (std::is_same_v<T, bool>) {
          return Kestrum::Ref<Any>(BoxBool(value));
        } else {
          return Boxed(std::move(value));
        }
      });
  }
}

Kestrum::Ref<Any> ValueReader::ReadMoRef(pugi::xml_node node, const TypePlan* declared) {
  if (!AttributeOf(node, "type", _attribute)) {
    Fail(Reason::kMalformed, node, "a managed object reference without its type attribute");
  }
  const TypePlan* plan = TypeTable::ForManagedWsdl(_attribute);
  if (!plan) Fail(Reason::kUnknownType, node, "unknown managed type '" + _attribute + "'");
  if (declared && declared->managed && !plan->managed->IsA(declared->managed)) {
    Fail(Reason::kWrongType, node,
         std::string("a reference to a ") + plan->Name() + " where a " + declared->Name() +
             " is declared");
  }
  CheckVersion(node, plan);
  return Kestrum::Ref<Any>(new MoRef(plan->type->GetName(), StringOf(node)));
}

Kestrum::Ref<Any> ValueReader::ReadAny(pugi::xml_node node, int depth) {
  return ReadAnyAt(node, Attributes{node.first_attribute()}, depth);
}

Kestrum::Ref<Any> ValueReader::ReadAnyAt(pugi::xml_node node, const Attributes& attributes,
                                         int depth) {
  CheckDepth(node, depth);
  ElementScope scope(_scope);
  XsiAttributes xsi = XsiAttributesOf(node, attributes, scope);
  if (xsi.nil && IsNilValue(node, xsi.nil)) {
    Fail(Reason::kMissingProperty, node, "a value is required here, not nil");
  }
  if (!xsi.type) {
    // The schema's anyType allows text without a type: that is a string. An
    // element with elements in it names no type to read them by.
    if (HasElementChild(node)) {
      Fail(Reason::kMalformed, node,
           "a value of type anyType with elements inside has no xsi:type to read them by "
           "(only text may go untyped, as xsd:string)");
    }
    return ReadBoxed(node, attributes, Kind::kString, TypeTable::ForXsiType(true, "string").plan,
                     depth);
  }
  std::string_view shown;
  XsiShape shape = XsiTypeOf(node, xsi.type, shown);
  const TypePlan* plan = shape.plan;
  CheckVersion(node, plan);
  if (shape.array) {
    pugi::xml_node first = ElementFrom(Node::FirstChild(node));
    size_t n = 0;
    for (pugi::xml_node item = first; Node::Is(item); item = NextElement(item)) CountItem(item, n);
    return ReadItems(first, pugi::xml_node(), n, plan->kind, plan, plan->itemOpen.c_str() + 1,
                     depth + 1, false);
  }
  switch (plan->kind) {
    case Kind::kData:
      return ReadObjectAt(node, attributes, plan, depth);
    case Kind::kMoRef:
      return ReadMoRef(node, nullptr);
    case Kind::kAny:
    case Kind::kUnresolved:
      Fail(Reason::kWrongType, node, "'" + std::string(shown) + "' is not the type of a value");
    default:
      return ReadBoxed(node, attributes, plan->kind, plan, depth);
  }
}

// ---- Arrays --------------------------------------------------------------------------------

template <class Read>
void ValueReader::ForEachItem(pugi::xml_node first, pugi::xml_node end, size_t n,
                              const char* itemName, bool rawNames, Read&& read) {
  size_t i = 0;
  for (pugi::xml_node item = first; Node::Raw(item) != Node::Raw(end) && i < n;
       item = NextElement(item), ++i) {
    Attributes attributes{Node::FirstAttribute(item)};
    if (ServiceIsDefault() && (rawNames || std::strcmp(Node::Name(item), itemName) == 0) &&
        DeclaresNothing(attributes)) [[likely]] {
      if (n > 1 && ScannedNil(item, attributes)) {
        Fail(Reason::kBadValue, item, "an array item cannot be nil");
      }
    } else {
      ElementScope scope(_scope, item, attributes.first);
      ResolvedName name = _scope.Element(item);
      if (name.local != itemName) {
        Fail(Reason::kUnknownElement, item,
             "element '" + std::string(name.local) + "' where '" + itemName + "' was expected");
      }
      CheckInService(item, name);
      if (n > 1 && Node::Is(attributes.first) && IsNilHere(item, attributes.first)) {
        Fail(Reason::kBadValue, item, "an array item cannot be nil");
      }
    }
    read(item, attributes);
  }
}

Kestrum::Ref<Any> ValueReader::ReadItems(pugi::xml_node first, pugi::xml_node end, size_t n,
                                         Kind kind, const TypePlan* plan, const char* itemName,
                                         int depth, bool rawNames) {
  if (kind != Kind::kAny) CheckDepth(first, depth);
  switch (kind) {
    case Kind::kData: {
      Kestrum::Ref<Any> held(plan->data->CreateArray());
      auto* array = static_cast<DataArrayBase*>(held.Get());
      array->Reserve(static_cast<int>(n));
      ForEachItem(first, end, n, itemName, rawNames,
                  [&](pugi::xml_node item, const Attributes& attributes) {
                    array->Append(ReadObjectAt(item, attributes, plan, depth).Get());
                  });
      return held;
    }
    case Kind::kMoRef: {
      auto array = Kestrum::MakeRef<DataArray<MoRef>>();
      array->Reserve(static_cast<int>(n));
      ForEachItem(first, end, n, itemName, rawNames, [&](pugi::xml_node item, const Attributes&) {
        array->DataArrayBase::Append(ReadMoRef(item, plan).Get());
      });
      return Kestrum::Ref<Any>(array.Get());
    }
    case Kind::kAny: {
      auto array = Kestrum::MakeRef<DataArray<Any>>();
      array->Reserve(static_cast<int>(n));
      ForEachItem(first, end, n, itemName, rawNames,
                  [&](pugi::xml_node item, const Attributes& attributes) {
                    array->DataArrayBase::Append(ReadAnyAt(item, attributes, depth).Get());
                  });
      return Kestrum::Ref<Any>(array.Get());
    }
    case Kind::kUnresolved:
      Fail(Reason::kUnknownType, first, "an array of a type not known to the runtime");
    default:
      return ForPlainKind(first, kind, [&](auto plain) -> Kestrum::Ref<Any> {
        using T = typename decltype(plain)::Type;
        // Enumeration arrays are built from their texts.
        constexpr bool kEnum = std::is_same_v<T, EnumValue>;
        auto array = Kestrum::MakeRef<Array<std::conditional_t<kEnum, std::string, T>>>();
        ForEachItem(first, end, n, itemName, rawNames, [&](pugi::xml_node item, const Attributes&) {
          T value = ReadPlain(item, plan, plain);
          if constexpr (kEnum) {
            array->Append(std::string(value.text));
          } else {
            array->Append(std::move(value));
          }
        });
        if constexpr (kEnum) {
          return Kestrum::Ref<Any>(
              plan->enumType->GetFuncs().fromStringArray(array.Get(), plan->enumType));
        } else {
          return Kestrum::Ref<Any>(array.Get());
        }
      });
  }
}

// ---- Data objects ---------------------------------------------------------------------------

Kestrum::Ref<Any> ValueReader::ReadObject(pugi::xml_node node, const TypePlan* declared,
                                          int depth) {
  return ReadObjectAt(node, Attributes{node.first_attribute()}, declared, depth);
}

Kestrum::Ref<Any> ValueReader::ReadObjectAt(pugi::xml_node node, const Attributes& attributes,
                                            const TypePlan* declared, int depth) {
  CheckDepth(node, depth);
  ElementScope scope(_scope);
  const TypePlan* plan = declared;
  XsiAttributes xsi = XsiAttributesOf(node, attributes, scope);
  if (xsi.nil && IsNilValue(node, xsi.nil)) {
    Fail(Reason::kMissingProperty, node, "a value is required here, not nil");
  }
  if (xsi.type) {
    std::string_view shown;
    XsiShape shape = XsiTypeOf(node, xsi.type, shown);
    plan = shape.plan;
    if (shape.array || plan->kind != Kind::kData) {
      Fail(Reason::kWrongType, node, "'" + std::string(shown) + "' is not a data object type");
    }
    if (declared && !plan->data->IsA(declared->type)) {
      Fail(Reason::kWrongType, node,
           std::string("a ") + plan->Name() + " where a " + declared->Name() + " is declared");
    }
  }
  if (!plan) Fail(Reason::kMalformed, node, "a data object without its type");
  if (!plan->complete) {
    Fail(Reason::kUnknownType, node, std::string("type ") + plan->Name() + " is not fully created");
  }
  CheckVersion(node, plan);
  Kestrum::Ref<Any> object(plan->data->CreateInstance());
  if (!object) {
    Fail(Reason::kUnknownType, node, std::string("type ") + plan->Name() + " has no instances");
  }
  ReadProperties(node, *plan, object.Get(), depth);
  return object;
}

void ValueReader::ReadProperties(pugi::xml_node node, const TypePlan& plan, Any* object,
                                 int depth) {
  MatchChildren(
      node, Node::FirstChild(node), plan.props.data(), plan.props.size(), plan.propIndex, true,
      [&](size_t index, pugi::xml_node first, const Attributes& attributes, pugi::xml_node end,
          size_t n, bool rawNames) {
        const Slot& slot = plan.props[index];
        if (slot.kind == Kind::kUnresolved) {
          Fail(Reason::kUnknownType, first,
               std::string("the type of '") + slot.name + "' is not known");
        }
        if (!slot.array && IsPlain(slot.kind)) {
          SetPlainProperty(first, slot, object);
          return;
        }
        Kestrum::Ref<Any> value =
            slot.array
                ? ReadItems(first, end, n, slot.kind, slot.plan, slot.name, depth + 1, rawNames)
                : ReadBoxed(first, attributes, slot.kind, slot.plan, depth + 1);
        SetProperty(first, slot, object, &value);
      });
}

void ValueReader::SetProperty(pugi::xml_node node, const Slot& slot, Any* object,
                              const void* value) {
  try {
    slot.owner->setProperty(object, slot.index, value);
  } catch (const Fault::InvalidArgument::Exception& e) {
    Fail(Reason::kBadValue, node, e.what());
  } catch (const Kestrum::TypeMismatchException& e) {
    Fail(Reason::kWrongType, node, e.what());
  }
}

void ValueReader::SetPlainProperty(pugi::xml_node node, const Slot& slot, Any* object) {
  ForPlainKind(node, slot.kind, [&](auto plain) {
    using T = typename decltype(plain)::Type;
    if constexpr (std::is_same_v<T, std::string>) {
      // The record's setter checks the text.
      std::string value(Text(node));
      try {
        slot.owner->swapProperty(object, slot.index, &value);
      } catch (const Fault::InvalidArgument::Exception& e) {
        Fail(Reason::kBadValue, node, e.what());
      }
    } else {
      T value = ReadPlain(node, slot.plan, plain);
      if constexpr (std::is_same_v<T, EnumValue>) {
        SetProperty(node, slot, object, &value.ordinal);
      } else {
        SetProperty(node, slot, object, &value);
      }
    }
  });
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
