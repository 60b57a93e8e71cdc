// Reads runtime values from a parsed JSON document, driven by the
// description records. The parser (simdjson) stays inside this library.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/Json/Error.h>
#include <Lumo/Json/Options.h>
#include <simdjson.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "TypeModel.h"
#include "VersionFilter.h"

namespace Lumo {
namespace Json {
namespace Detail {

using Element = simdjson::dom::element;

// Parses a whole document with the limits of options; the element lives until
// the next parse on this thread or the end of the ParsedDocument that holds
// it. Refuses what is not JSON.
Element ParseDocument(std::string_view document, const Options& options);

// Holds the parse of one document while it is read; when it ends, a parser
// that grew beyond 1 MiB gives its memory back.
class ParsedDocument {
 public:
  ParsedDocument(std::string_view document, const Options& options)
      : _root(ParseDocument(document, options)) {}
  ~ParsedDocument();
  ParsedDocument(const ParsedDocument&) = delete;
  ParsedDocument& operator=(const ParsedDocument&) = delete;
  Element Root() const { return _root; }

 private:
  Element _root;
};

class Reader {
 public:
  Reader(const VersionFilter& filter, const Options& options);

  // An anyType value: an object with "_type".
  Kestrum::Ref<Any> ReadAny(Element element, int depth);
  // A property, parameter or result held boxed. where names the slot in
  // refusals.
  Kestrum::Ref<Any> ReadBoxedSlot(const Slot& slot, Element element, const std::string& where);
  // The members of an object against slots, for arguments: one value per
  // slot, null where absent; refuses unknown, duplicate and missing ones.
  std::vector<Kestrum::Ref<Any>> ReadSlots(const std::vector<Slot>& slots, Element element);

 private:
  struct Frame {
    std::string_view name;
    int index;
  };
  class Enter;

  [[noreturn]] void Refuse(Reason reason, const std::string& detail) const;
  void CheckDepth(int depth);
  void CheckVersion(const Type* type);
  simdjson::dom::object ObjectOf(Element element, const char* what);
  // The type "_type" names, or null when the object has none.
  const Type* TypeMember(simdjson::dom::object object);
  // Skips or refuses a member no slot has.
  void Unknown(std::string_view key, const Slot* slot);

  Kestrum::Ref<Any> ReadSingle(const Slot& slot, Element element, int depth);
  Kestrum::Ref<Any> ReadObject(const DataObjectType* declared, Element element, int depth);
  void ReadProperties(const DataPlan& plan, Any* object, simdjson::dom::object members, int depth);
  void SetProperty(const Slot& slot, Any* object, const void* value);
  void SetPlainProperty(const Slot& slot, Any* object, Element element);
  Kestrum::Ref<Any> ReadMoRef(const Type* declared, Element element);
  Kestrum::Ref<Any> ReadArray(Kind kind, const Type* type, Element element, int depth);
  Kestrum::Ref<Any> ReadBoxedPlain(Kind kind, const Type* type, Element element);

  std::string ReadString(Element element);
  bool ReadBool(Element element);
  int32_t ReadInt32(Element element);
  int64_t ReadInt64(Element element);
  double ReadDouble(Element element);
  Kestrum::System::DateTime ReadDateTime(Element element);
  int32_t ReadEnum(const Type* type, Element element);
  [[noreturn]] void BadValue(const char* what, Element element);

  const VersionFilter& _filter;
  const Options& _options;
  int _maxDepth;
  std::string _root;
  std::vector<Frame> _frames;
  std::unordered_map<const DataObjectType*, const DataPlan*> _plans;
};

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
