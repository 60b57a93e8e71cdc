// Writes runtime values as JSON, driven by the description records.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/Json/Error.h>
#include <Lumo/Json/Options.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "TypeModel.h"
#include "VersionFilter.h"

namespace Lumo {
namespace Json {
namespace Detail {

class Writer {
 public:
  // Appends to out, which the caller owns (and may reuse between documents).
  Writer(const VersionFilter& filter, const Limits& limits, std::string& out);

  // An anyType value: "_type" always. Null writes `null`.
  void WriteAny(const Any* value, int depth);
  // A property, parameter or result held boxed (argument vectors, results):
  // plain values as Primitive<T>, everything else as itself. where names the
  // slot in refusals.
  void WriteBoxedSlot(const Slot& slot, const Any* value, const std::string& where);
  // A key of an object being written, with its comma.
  void Key(const char* name, bool& first);

  // Refuses a document over the size limit.
  void CheckSize();

 private:
  struct Frame {
    const char* name;
    int index;
  };
  class Enter;

  [[noreturn]] void Refuse(Reason reason, const std::string& detail) const;
  void CheckDepth(int depth);
  void CheckVersion(const Type* type);
  void WriteSingle(const Slot& slot, const Any* value, int depth);
  void WriteObject(const DataObjectType* declared, const Any* object, int depth);
  void WriteMoRef(const Type* declared, const Any* value);
  void WriteArray(Kind kind, const Type* element, const Any* array, int depth);
  void WritePlain(Kind kind, const Type* type, const void* value);
  void WriteString(const std::string& text);
  const void* Unbox(Kind kind, const Type* type, const Any* value, int& ordinal);

  const VersionFilter& _filter;
  const Limits& _limits;
  int _maxDepth;
  std::string _root;
  std::vector<Frame> _frames;
  std::string& _out;
  std::unordered_map<const DataObjectType*, const DataPlan*> _plans;
};

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
