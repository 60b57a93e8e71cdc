// The one decoder of what XML 1.0 accepts in text as UTF-8, shared by the
// validation of strings before they are stored and by the writer's last
// check before a byte is sent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Lumo {

enum class XmlCharFault {
  kNone,
  kLeadByte,      // a byte that cannot start a sequence
  kTruncated,     // the text ends inside a sequence
  kContinuation,  // a byte that should continue the sequence does not
  kOverlong,      // a longer form than the code point needs
  kBeyondRange,   // beyond U+10FFFF
  kSurrogate,     // U+D800..U+DFFF
  kNotAllowed,    // U+FFFE or U+FFFF
};

struct XmlChar {
  size_t length = 0;  // bytes of the sequence when it is acceptable
  uint32_t codePoint = 0;
  XmlCharFault fault = XmlCharFault::kNone;
};

// Decodes the multi-byte sequence at p (p[0] >= 0x80, p < end).
inline XmlChar DecodeXmlChar(const unsigned char* p, const unsigned char* end) {
  XmlChar decoded;
  const unsigned c = p[0];
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
    decoded.fault = XmlCharFault::kLeadByte;
    return decoded;
  }
  if (static_cast<size_t>(end - p) < length) {
    decoded.fault = XmlCharFault::kTruncated;
    return decoded;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) {
      decoded.fault = XmlCharFault::kContinuation;
      return decoded;
    }
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  decoded.codePoint = cp;
  if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) {
    decoded.fault = XmlCharFault::kOverlong;
  } else if (cp > 0x10FFFF) {
    decoded.fault = XmlCharFault::kBeyondRange;
  } else if (cp >= 0xD800 && cp <= 0xDFFF) {
    decoded.fault = XmlCharFault::kSurrogate;
  } else if (cp == 0xFFFE || cp == 0xFFFF) {
    decoded.fault = XmlCharFault::kNotAllowed;
  } else {
    decoded.length = length;
  }
  return decoded;
}

}  // namespace Lumo
