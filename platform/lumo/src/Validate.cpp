// Validation of strings before they are stored.
#include <Kestrum/Exception.h>
#include <Kestrum/Optional.h>
#include <Lumo/Any.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>
#include <Lumo/XmlChar.h>

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
  // Eight bytes of printable ASCII (none below 0x20, none above 0x7F).
  auto plainWord = [bytes](size_t at) {
    uint64_t word;
    std::memcpy(&word, bytes + at, 8);
    constexpr uint64_t kHigh = 0x8080808080808080u;
    bool below20 = ((word - 0x2020202020202020u) & ~word & kHigh) != 0;
    return !below20 && !(word & kHigh);
  };
  size_t i = 0;
  while (i < size) {
    if (i + 8 <= size) {
      if (plainWord(i)) {
        i += 8;
        continue;
      }
    } else if (size >= 8 && plainWord(size - 8)) {
      // The last eight bytes cover the rest: all of it is plain.
      break;
    }
    unsigned c = bytes[i];
    if (c < 0x80) {
      if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) {
        return refuse(i, "control character U+" + Hex(c, 4) + " is not allowed in XML 1.0");
      }
      ++i;
      continue;
    }
    const XmlChar decoded = DecodeXmlChar(bytes + i, bytes + size);
    switch (decoded.fault) {
      case XmlCharFault::kNone:
        break;
      case XmlCharFault::kLeadByte:
        return refuse(i, "invalid UTF-8 lead byte 0x" + Hex(c, 2));
      case XmlCharFault::kTruncated:
        return refuse(i, "truncated UTF-8 sequence");
      case XmlCharFault::kContinuation:
        return refuse(i, "invalid UTF-8 continuation byte");
      case XmlCharFault::kOverlong:
        return refuse(i, "overlong UTF-8 sequence");
      case XmlCharFault::kBeyondRange:
        return refuse(i, "code point beyond U+10FFFF");
      case XmlCharFault::kSurrogate:
        return refuse(i, "UTF-8 encoded surrogate U+" + Hex(decoded.codePoint, 4));
      case XmlCharFault::kNotAllowed:
        return refuse(i, "character U+" + Hex(decoded.codePoint, 4) + " is not allowed in XML 1.0");
    }
    i += decoded.length;
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
  auto fault = Kestrum::MakeRef<Fault::InvalidArgument>();
  // Built from our own ASCII text only; the refused value is not echoed.
  fault->SetMsg("Invalid string for " + target + ": " + reason + " at byte offset " +
                std::to_string(at));
  fault->SetInvalidProperty(Kestrum::Optional<std::string>(propertyName));
  throw Fault::InvalidArgument::Exception(fault.Get());
}

}  // namespace Lumo
