// The output buffer of the writer: appends into a std::string that grows
// geometrically, and escapes text for element content and attribute values.
#pragma once

#include <Lumo/XmlChar.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

// Per byte, for element content and for attribute values: 0 plain, 1
// escaped, 2 the start of a multi-byte UTF-8 sequence (checked), 3 not
// allowed in XML 1.0 at all.
struct EscapeTables {
  uint8_t text[256];
  uint8_t attr[256];
  constexpr EscapeTables() : text{}, attr{} {
    for (int c = 0; c < 0x20; ++c) text[c] = attr[c] = 3;
    for (int c = 0x80; c < 0x100; ++c) text[c] = attr[c] = 2;
    text[static_cast<int>('\t')] = 0;
    text[static_cast<int>('\n')] = 0;
    attr[static_cast<int>('\t')] = 1;
    attr[static_cast<int>('\n')] = 1;
    attr[static_cast<int>('"')] = 1;
    for (char c : {'\r', '&', '<', '>'})
      text[static_cast<uint8_t>(c)] = attr[static_cast<uint8_t>(c)] = 1;
  }
};
inline constexpr EscapeTables kEscapes{};

class XmlOut {
 public:
  explicit XmlOut(std::string& target) : _target(target) {
    _base = _target.size();
    Grow(4096);
  }
  XmlOut(const XmlOut&) = delete;
  XmlOut& operator=(const XmlOut&) = delete;

  // Cuts the target to what was written.
  void Finish() { _target.resize(static_cast<size_t>(_pos - _target.data())); }
  size_t Size() const { return static_cast<size_t>(_pos - _target.data()) - _base; }

  void Put(char c) {
    if (_pos == _end) Grow(1);
    *_pos++ = c;
  }
  void Put(const char* text, size_t length) {
    if (static_cast<size_t>(_end - _pos) < length) Grow(length);
    std::memcpy(_pos, text, length);
    _pos += length;
  }
  void Put(std::string_view text) { Put(text.data(), text.size()); }

  // Escaped element content. Returns false (writing nothing more) at a byte
  // that XML cannot carry: a character XML 1.0 forbids or invalid UTF-8.
  bool Text(const char* p, size_t n) { return Escaped(p, n, kEscapes.text); }
  // Escaped attribute value (quotes, tabs and line ends too).
  bool AttrText(const char* p, size_t n) { return Escaped(p, n, kEscapes.attr); }

  char* Reserve(size_t n) {
    if (static_cast<size_t>(_end - _pos) < n) Grow(n);
    return _pos;
  }
  void Commit(char* end) { _pos = end; }

 private:
  bool Escaped(const char* p, size_t n, const uint8_t* table) {
    const char* end = p + n;
    for (;;) {
      const char* run = p;
      while (p < end && table[static_cast<uint8_t>(*p)] == 0) ++p;
      Put(run, static_cast<size_t>(p - run));
      if (p == end) return true;
      if (table[static_cast<uint8_t>(*p)] == 2) {
        size_t length = DecodeXmlChar(reinterpret_cast<const unsigned char*>(p),
                                      reinterpret_cast<const unsigned char*>(end))
                            .length;
        if (length == 0) return false;
        Put(p, length);
        p += length;
        continue;
      }
      switch (*p) {
        case '&':
          Put("&amp;", 5);
          break;
        case '<':
          Put("&lt;", 4);
          break;
        case '>':
          Put("&gt;", 4);
          break;
        case '"':
          Put("&quot;", 6);
          break;
        case '\r':
          Put("&#13;", 5);
          break;
        case '\n':
          Put("&#10;", 5);
          break;
        case '\t':
          Put("&#9;", 4);
          break;
        default:
          return false;
      }
      ++p;
    }
  }

  void Grow(size_t needed) {
    size_t used = static_cast<size_t>(_pos ? _pos - _target.data() : _target.size());
    size_t capacity = _target.size() < 4096 ? 4096 : _target.size();
    while (capacity - used < needed) capacity *= 2;
    _target.resize(capacity);
    _pos = _target.data() + used;
    _end = _target.data() + _target.size();
  }

  std::string& _target;
  size_t _base = 0;
  char* _pos = nullptr;
  char* _end = nullptr;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
