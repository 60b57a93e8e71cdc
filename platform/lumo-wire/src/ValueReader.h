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

#include "TypeTable.h"
#include "Versions.h"
#include "Xml.h"

namespace Lumo {
namespace Wire {
namespace Detail {

class ValueReader {
 public:
  ValueReader(const VersionFilter& filter, const Options& options);

  // An element that carries its type (anyType values).
  Kestrum::Ref<Any> ReadAny(pugi::xml_node node, int depth);
  // A data object of the declared type or, with xsi:type, of a derived one.
  Kestrum::Ref<Any> ReadObject(pugi::xml_node node, const TypePlan* declared, int depth);
  // The children of parent from first on, as values of the slots (parameters):
  // values[i] receives slot i boxed, null when absent. Refuses unknown,
  // repeated and missing required elements.
  void ReadSlots(pugi::xml_node parent, pugi::xml_node first, const Slot* slots, size_t count,
                 std::vector<Kestrum::Ref<Any>>& values, int depth, bool checkRequired = true);
  // One slot's value from the run of elements [first, end) of n elements:
  // an array for array slots (empty when n is 0), else the single value boxed.
  Kestrum::Ref<Any> ReadSlotValue(const Slot& slot, pugi::xml_node first, pugi::xml_node end,
                                  size_t n, int depth);

  // The next element sibling; refuses non-blank text on the way.
  static pugi::xml_node NextElement(pugi::xml_node node);
  // node itself when it is an element, else the next element sibling.
  static pugi::xml_node ElementFrom(pugi::xml_node node);

 private:
  template <class Sink>
  void MatchChildren(pugi::xml_node parent, pugi::xml_node first, const Slot* slots, size_t count,
                     bool checkRequired, Sink&& sink);
  void ReadProperties(pugi::xml_node node, const TypePlan& plan, Any* object, int depth);
  void SetProperty(pugi::xml_node node, const Slot& slot, Any* object, const void* value);
  void SetPlainProperty(pugi::xml_node node, const Slot& slot, Any* object);
  Kestrum::Ref<Any> ReadBoxed(pugi::xml_node node, Kind kind, const TypePlan* plan, int depth);
  Kestrum::Ref<Any> ReadItems(pugi::xml_node first, pugi::xml_node end, size_t n, Kind kind,
                              const TypePlan* plan, const char* itemName, int depth);
  Kestrum::Ref<Any> ReadMoRef(pugi::xml_node node, const TypePlan* declared);
  std::string_view Text(pugi::xml_node node);
  std::string StringOf(pugi::xml_node node);
  int EnumOrdinal(pugi::xml_node node, const TypePlan* plan, std::string_view text);
  void CheckDepth(pugi::xml_node node, int depth);
  void CheckVersion(pugi::xml_node node, const TypePlan* plan);
  [[noreturn]] void BadValue(pugi::xml_node node, const char* what, std::string_view text);

  // The xsi:type values met last: messages repeat few types many times.
  XsiShape LookUpXsiType(const std::string& name);
  struct XsiCacheEntry {
    std::string name;
    XsiShape shape;
  };
  XsiCacheEntry _xsiCache[8];
  size_t _xsiNext = 0;

  const VersionFilter& _filter;
  const Options& _options;
  int _maxDepth;
  std::string _scratch;
  std::string _attribute;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
