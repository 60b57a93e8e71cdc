#include <Lumo/Json/Codec.h>
#include <Lumo/ManagedMethod.h>

#include "Reader.h"
#include "TypeModel.h"
#include "VersionFilter.h"
#include "Writer.h"

namespace Lumo {
namespace Json {

using Detail::Slot;

namespace {

std::vector<Slot> ParametersOf(const ManagedMethod* method) {
  std::vector<Slot> slots;
  if (const MethodInfo* info = method->GetMethodInfo()) {
    for (const ParamInfo* p = info->parameters; p && p->name; ++p) {
      slots.push_back(Detail::MakeSlot(p->name, p->type, p->flags, p->version));
    }
  }
  return slots;
}

// The result slot; false for a method without result.
bool ResultOf(const ManagedMethod* method, Slot& slot) {
  if (const MethodInfo* info = method->GetMethodInfo()) {
    if (!info->result.type) return false;
    slot = Detail::MakeSlot("result", info->result.type, info->result.flags, info->result.version);
    return true;
  }
  const PropInfo* property = method->GetPropInfo();
  if (!property) return false;
  slot = Detail::MakeSlot("result", property->type, property->flags, property->version);
  return true;
}

void CheckMethodVersion(const Detail::VersionFilter& filter, const ManagedMethod* method) {
  if (!filter.Accepts(method->GetVersion())) {
    throw Error(Reason::kVersion, method->GetQualifiedName(),
                std::string("the method is of ") + method->GetVersion() + ", not part of " +
                    filter.GetVersion());
  }
}

}  // namespace

Codec::Codec(const Options& options) : _options(options) {
  Detail::VersionFilter check(options.version);  // refuses an unknown version now
}

std::string Codec::EncodeValue(const Any* value) const {
  std::string out;
  EncodeValue(value, out);
  return out;
}

void Codec::EncodeValue(const Any* value, std::string& out) const {
  out.clear();
  Detail::VersionFilter filter(_options.version);
  Detail::Writer writer(filter, _options.limits, out);
  writer.WriteAny(value, 0);
  writer.CheckSize();
}

Kestrum::Ref<Any> Codec::DecodeValue(std::string_view document) const {
  Detail::VersionFilter filter(_options.version);
  Detail::ParsedDocument parsed(document, _options);
  Detail::Element root = parsed.Root();
  Detail::Reader reader(filter, _options);
  return reader.ReadAny(root, 0);
}

std::string Codec::EncodeArguments(const ManagedMethod* method,
                                   const std::vector<Kestrum::Ref<Any>>& args) const {
  Detail::VersionFilter filter(_options.version);
  CheckMethodVersion(filter, method);
  std::vector<Slot> params = ParametersOf(method);
  std::string out;
  Detail::Writer writer(filter, _options.limits, out);
  out.push_back('{');
  bool first = true;
  for (size_t i = 0; i < params.size() && i < args.size(); ++i) {
    if (!args[i] || !filter.Accepts(params[i].version)) continue;
    writer.Key(params[i].name, first);
    writer.WriteBoxedSlot(params[i], args[i].Get(), params[i].name);
  }
  out.push_back('}');
  writer.CheckSize();
  return out;
}

std::vector<Kestrum::Ref<Any>> Codec::DecodeArguments(const ManagedMethod* method,
                                                      std::string_view document) const {
  Detail::VersionFilter filter(_options.version);
  CheckMethodVersion(filter, method);
  Detail::ParsedDocument parsed(document, _options);
  Detail::Element root = parsed.Root();
  Detail::Reader reader(filter, _options);
  return reader.ReadSlots(ParametersOf(method), root);
}

std::string Codec::EncodeResult(const ManagedMethod* method, const Any* result) const {
  std::string out;
  EncodeResult(method, result, out);
  return out;
}

void Codec::EncodeResult(const ManagedMethod* method, const Any* result, std::string& out) const {
  out.clear();
  Detail::VersionFilter filter(_options.version);
  Slot slot;
  if (!ResultOf(method, slot) || !result) {
    out = "null";
    return;
  }
  Detail::Writer writer(filter, _options.limits, out);
  writer.WriteBoxedSlot(slot, result, "");
}

Kestrum::Ref<Any> Codec::DecodeResult(const ManagedMethod* method,
                                      std::string_view document) const {
  Detail::VersionFilter filter(_options.version);
  Detail::ParsedDocument parsed(document, _options);
  Detail::Element root = parsed.Root();
  Slot slot;
  if (!ResultOf(method, slot)) {
    if (root.is_null()) return Kestrum::Ref<Any>();
    throw Error(Reason::kUnknownElement, "", method->GetQualifiedName() + " has no result");
  }
  slot.optional = true;  // a result may be absent
  Detail::Reader reader(filter, _options);
  return reader.ReadBoxedSlot(slot, root, "");
}

}  // namespace Json
}  // namespace Lumo
