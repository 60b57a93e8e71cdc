// Validation of strings before they are stored.
#include <Kestrum/Exception.h>
#include <Kestrum/Optional.h>
#include <Lumo/Any.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "Internal.h"

namespace Lumo {

namespace {

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

// Names where a refused string was headed: "property zel.AboutInfo.name" or
// "element 3 of string[]". Only called when refusing.
std::string DescribeTarget(const Any* owner, int index, std::string* propertyName) {
  std::string element = "[" + std::to_string(index) + "]";
  if (!owner) {
    *propertyName = element;
    return "element " + std::to_string(index) + " of an unknown value";
  }
  // FindType never stops the process, unlike the accessors of type libraries
  // before the start.
  Type* type = FindType(typeid(*owner));
  if (!type) {
    *propertyName = "#" + std::to_string(index);
    return "property #" + std::to_string(index) + " of " +
           Kestrum::DemangleClassName(typeid(*owner));
  }
  if (type->IsArray()) {
    *propertyName = element;
    return "element " + std::to_string(index) + " of " + type->GetName();
  }
  // The index counts the own properties of the class whose setter ran, which
  // may be the owner's type or any of its bases; the owner and the index alone
  // cannot tell which. Name the string property at that index when only one
  // level has one, and every candidate (base first) when several do.
  std::vector<const char*> candidates;
  for (auto* level = dynamic_cast<DataObjectType*>(type); level; level = level->GetBase()) {
    if (index >= 0 && index < level->GetPropertyCount()) {
      const PropInfo& property = level->GetProperty(index);
      if (Detail::GetValueKind(property) == Detail::ValueKind::kString) {
        candidates.insert(candidates.begin(), property.name);
      }
    }
  }
  if (!candidates.empty()) {
    std::string names;
    for (const char* name : candidates) names += (names.empty() ? "" : " or ") + std::string(name);
    *propertyName = names;
    return std::string("property ") + type->GetName() + "." + names;
  }
  *propertyName = "#" + std::to_string(index);
  return "property #" + std::to_string(index) + " of " + type->GetName();
}

}  // namespace

size_t FindInvalidXmlText(const std::string& text, std::string* reason) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  auto refuse = [reason](size_t at, std::string why) {
    if (reason) *reason = std::move(why);
    return at;
  };
  size_t i = 0;
  while (i < size) {
    // Eight bytes of printable ASCII at a time.
    if (i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      constexpr uint64_t kHigh = 0x8080808080808080u;
      bool below20 = ((word - 0x2020202020202020u) & ~word & kHigh) != 0;
      if (!below20 && !(word & kHigh)) {
        i += 8;
        continue;
      }
    }
    unsigned c = bytes[i];
    if (c < 0x80) {
      if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) {
        return refuse(i, "control character U+" + Hex(c, 4) + " is not allowed in XML 1.0");
      }
      ++i;
      continue;
    }
    size_t length;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return refuse(i, "invalid UTF-8 lead byte 0x" + Hex(c, 2));
    }
    if (i + length > size) return refuse(i, "truncated UTF-8 sequence");
    for (size_t k = 1; k < length; ++k) {
      unsigned next = bytes[i + k];
      if ((next & 0xC0) != 0x80) return refuse(i, "invalid UTF-8 continuation byte");
      cp = (cp << 6) | (next & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) {
      return refuse(i, "overlong UTF-8 sequence");
    }
    if (cp > 0x10FFFF) return refuse(i, "code point beyond U+10FFFF");
    if (cp >= 0xD800 && cp <= 0xDFFF) return refuse(i, "UTF-8 encoded surrogate U+" + Hex(cp, 4));
    if (cp == 0xFFFE || cp == 0xFFFF) {
      return refuse(i, "character U+" + Hex(cp, 4) + " is not allowed in XML 1.0");
    }
    i += length;
  }
  return std::string::npos;
}

template <>
void Validate<std::string>(const std::string* value, const Any* owner, int index) {
  if (!value) return;
  std::string reason;
  size_t at = FindInvalidXmlText(*value, &reason);
  if (at == std::string::npos) return;

  std::string propertyName;
  std::string target = DescribeTarget(owner, index, &propertyName);
  Kestrum::Ref<Fault::InvalidArgument> fault(new Fault::InvalidArgument);
  // Built from our own ASCII text only; the refused value is not echoed.
  fault->SetMsg("Invalid string for " + target + ": " + reason + " at byte offset " +
                std::to_string(at));
  fault->SetInvalidProperty(Kestrum::Optional<std::string>(propertyName));
  throw Fault::InvalidArgument::Exception(fault.Get());
}

}  // namespace Lumo
