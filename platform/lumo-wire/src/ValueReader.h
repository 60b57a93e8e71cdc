// Reads runtime values from parsed elements, driven by the type plans.
// Everything is checked: element names against the plans and the version,
// xsi:type values against the declared types, texts against their types and
// the limits. A refusal throws a WireFormatFault naming the element and
// nothing that was read so far escapes.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/Wire/Options.h>

#include <string>
#include <vector>

#include "Namespaces.h"
#include "NodeAccess.h"
#include "TypeTable.h"
#include "Versions.h"
#include "Xml.h"

namespace Lumo {
namespace Wire {
namespace Detail {

// An element's attributes as a reader met them: the first one, and the scan
// of them in the scope around the element once made.
struct Attributes {
  explicit Attributes(pugi::xml_attribute firstAttribute) : first(firstAttribute) {}

  pugi::xml_attribute first;
  bool scanned = false;
  AttributeScan scan;

  void Scan(const NamespaceScope& scope) {
    scan = ScanAttributes(scope, first);
    scanned = true;
  }
};

class ValueReader {
 public:
  ValueReader(const VersionFilter& filter, const Options& options);

  // The declarations in scope; the codec enters the envelope's elements
  // through it before handing values to the reader.
  NamespaceScope& Scope() { return _scope; }
  // The namespace every element of the values read is in (an id of
  // Scope()); an element in another namespace is refused.
  void SetServiceNamespace(int id) {
    _serviceNs = id;
    for (XsiCacheEntry& entry : _xsiCache) entry.shape = XsiShape();
  }
  int ServiceNamespace() const { return _serviceNs; }
  // An element's resolved name with its own declarations in scope.
  ResolvedName NameOf(pugi::xml_node node);
  // Refuses an element that is not in the service namespace.
  void CheckInService(pugi::xml_node node, const ResolvedName& name);
  // True when the element carries xsi:nil="true" (or "1"); refuses a nil
  // element with content.
  bool IsNil(pugi::xml_node node);
  // The same with the element's declarations already in scope.
  bool IsNilHere(pugi::xml_node node, pugi::xml_attribute first);
  // Refuses a nil element with content.
  void CheckNilEmpty(pugi::xml_node node);
  // The xsi attributes of an element (first: its first attribute); enters
  // the element through scope when it declares namespaces itself.
  XsiAttributes XsiAttributesOf(pugi::xml_node node, const Attributes& attributes,
                                ElementScope& scope);

  // An element that carries its type (anyType values).
  Kestrum::Ref<Any> ReadAny(pugi::xml_node node, int depth);
  // A data object of the declared type or, with xsi:type, of a derived one.
  Kestrum::Ref<Any> ReadObject(pugi::xml_node node, const TypePlan* declared, int depth);
  // The children of parent from first on, as values of the slots (parameters)
  // found through names:
  // values[i] receives slot i boxed, null when absent. Refuses unknown,
  // repeated and missing required elements.
  void ReadSlots(pugi::xml_node parent, pugi::xml_node first, const Slot* slots, size_t count,
                 const NameIndex& names, std::vector<Kestrum::Ref<Any>>& values, int depth,
                 bool checkRequired = true);
  // One slot's value from the run of elements [first, end) of n elements:
  // an array for array slots (empty when n is 0), else the single value boxed.
  // rawNames: every element of the run is known to be named, unprefixed, as
  // the slot.
  Kestrum::Ref<Any> ReadSlotValue(const Slot& slot, pugi::xml_node first, pugi::xml_node end,
                                  size_t n, int depth, bool rawNames = false);

  // The next element sibling; refuses non-blank text on the way.
  static pugi::xml_node NextElement(pugi::xml_node node);
  // node itself when it is an element, else the next element sibling.
  static pugi::xml_node ElementFrom(pugi::xml_node node);
  // True when an element is among node's children.
  static bool HasElementChild(pugi::xml_node node);

 private:
  template <class Sink>
  void MatchChildren(pugi::xml_node parent, pugi::xml_node first, const Slot* slots, size_t count,
                     const NameIndex& names, bool checkRequired, Sink&& sink);
  void ReadProperties(pugi::xml_node node, const TypePlan& plan, Any* object, int depth);
  void SetProperty(pugi::xml_node node, const Slot& slot, Any* object, const void* value);
  void SetPlainProperty(pugi::xml_node node, const Slot& slot, Any* object);
  // attributes: the element's first attribute (the callers have it).
  Kestrum::Ref<Any> ReadBoxed(pugi::xml_node node, const Attributes& attributes, Kind kind,
                              const TypePlan* plan, int depth);
  Kestrum::Ref<Any> ReadAnyAt(pugi::xml_node node, const Attributes& attributes, int depth);
  Kestrum::Ref<Any> ReadObjectAt(pugi::xml_node node, const Attributes& attributes,
                                 const TypePlan* declared, int depth);
  Kestrum::Ref<Any> ReadItems(pugi::xml_node first, pugi::xml_node end, size_t n, Kind kind,
                              const TypePlan* plan, const char* itemName, int depth, bool rawNames);
  Kestrum::Ref<Any> ReadMoRef(pugi::xml_node node, const TypePlan* declared);
  // The value of a plain element of kind (a type ForPlainKind names a kind
  // by); refuses text that is not one.
  template <class PlainKind>
  typename PlainKind::Type ReadPlain(pugi::xml_node node, const TypePlan* plan, PlainKind kind);
  // The items of an array, [first, end) of n elements named itemName, each
  // checked and handed to read with its attributes; rawNames: their raw
  // names are known to be itemName.
  template <class Read>
  void ForEachItem(pugi::xml_node first, pugi::xml_node end, size_t n, const char* itemName,
                   bool rawNames, Read&& read);
  // The usual spelling of an element, tried before resolving its name: no
  // prefix, the service's namespace the default one and no namespace
  // declared on the element (scanned here), so that its raw name is its
  // local name in the service's namespace.
  bool ServiceIsDefault() const { return _scope.DefaultNamespace() == _serviceNs; }
  bool DeclaresNothing(Attributes& attributes) {
    if (!Node::Is(attributes.first)) return true;
    attributes.Scan(_scope);
    return !attributes.scan.declares;
  }
  // xsi:nil="true" among attributes scanned by DeclaresNothing.
  static bool ScannedNil(pugi::xml_node node, const Attributes& attributes) {
    return attributes.scan.xsi.nil && IsNilValue(node, attributes.scan.xsi.nil);
  }
  // Counts one more item of an array, refusing more than the limit allows.
  void CountItem(pugi::xml_node item, size_t& n) {
    if (++n > _options.limits.maxArrayElements) TooManyItems(item);
  }
  [[noreturn]] void TooManyItems(pugi::xml_node item);
  std::string_view Text(pugi::xml_node node);
  std::string StringOf(pugi::xml_node node);
  int EnumOrdinal(pugi::xml_node node, const TypePlan* plan, std::string_view text);
  // Checked for every value: the refusals are out of line.
  void CheckDepth(pugi::xml_node node, int depth) {
    if (depth > _maxDepth) TooDeep(node);
  }
  void CheckVersion(pugi::xml_node node, const TypePlan* plan) {
    if (!_filter.Accepts(plan->versionId)) NotOfVersion(node, plan);
  }
  [[noreturn]] void TooDeep(pugi::xml_node node);
  [[noreturn]] void NotOfVersion(pugi::xml_node node, const TypePlan* plan);
  [[noreturn]] void BadValue(pugi::xml_node node, const char* what, std::string_view text);

  // The type an xsi:type value names, resolved in the current scope;
  // refuses names of unknown types and of other namespaces.
  XsiShape XsiTypeOf(pugi::xml_node node, const char* raw, std::string_view& shown);
  // The xsi:type values met last, as written, with the declarations they
  // were resolved under: messages repeat few types many times.
  struct XsiCacheEntry {
    std::string raw;
    uint64_t generation = 0;
    XsiShape shape;
  };
  XsiCacheEntry _xsiCache[8];
  size_t _xsiNext = 0;

  const VersionFilter& _filter;
  const Options& _options;
  int _maxDepth;
  std::string _scratch;
  std::string _attribute;
  NamespaceScope _scope;
  int _serviceNs = kNoNamespace;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
