// Writes runtime values as elements, driven by the type plans.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <string>
#include <string_view>
#include <vector>

#include "TypeTable.h"
#include "Versions.h"
#include "XmlOut.h"

namespace Lumo {
namespace Wire {
namespace Detail {

class ValueWriter {
 public:
  ValueWriter(XmlOut& out, const VersionFilter& filter, const Limits& limits);

  // A property, parameter or result held boxed (argument vectors, results):
  // plain values as Primitive<T>, everything else as itself. Null writes
  // nothing. where names the slot for faults ("zel.profile.ProfileManager.create.createSpec").
  void WriteBoxedSlot(const Slot& slot, const Any* value, const std::string& where);

  // An anyType value: the element carries the value's type. open is "<name"
  // (attributes may follow), close "</name>".
  void WriteAnyValue(std::string_view open, std::string_view close, const Any* value, int depth);

  // A data object or fault. Writes xsi:type when the object's type is not
  // declared (null declared: always). as, when given, is a base type of the
  // object to write it as (its properties only).
  void WriteObject(std::string_view open, std::string_view close, const TypePlan* declared,
                   const Any* object, int depth, const TypePlan* as = nullptr);

  // Refuses with the place of the value being written.
  [[noreturn]] void Refuse(Reason reason, const std::string& detail) const;

 private:
  struct Frame {
    const char* name;
    int index;
  };
  class Enter;

  void WriteProperties(const TypePlan& plan, const Any* object, int depth);
  void WriteArray(std::string_view open, std::string_view close, Kind kind, const TypePlan* element,
                  const Any* array, int depth);
  void WriteSingle(std::string_view open, std::string_view close, Kind kind, const TypePlan* plan,
                   const Any* value, int depth);
  void WritePlainElement(std::string_view open, std::string_view close, Kind kind,
                         const TypePlan* plan, const void* value);
  void WritePlainText(Kind kind, const TypePlan* plan, const void* value);
  void WriteMoRef(std::string_view open, std::string_view close, const TypePlan* declared,
                  const Any* value, bool withXsiType);
  void WriteString(const std::string& text);
  // The address of a boxed plain value of the kind; refuses another class.
  const void* Unbox(Kind kind, const TypePlan* plan, const Any* value, int& ordinal);
  const TypePlan* PlanOf(const Any* value);
  void CheckVersion(const TypePlan* plan);
  void CheckDepth(int depth);

  XmlOut& _out;
  const VersionFilter& _filter;
  const Limits& _limits;
  int _maxDepth;
  std::string _root;
  std::vector<Frame> _frames;
  // The last plan looked up, by type: most objects follow their siblings'.
  const Type* _lastType = nullptr;
  const TypePlan* _lastPlan = nullptr;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
