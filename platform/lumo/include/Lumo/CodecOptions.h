// Settings shared by the runtime's message formats (the XML wire and JSON):
// the API version a message is for, how strict the reader is, and the limits
// that bound what a reader accepts and a writer produces.
#pragma once

#include <cstddef>
#include <string>

namespace Lumo {

// Every limit refuses with the format's own error naming the place; nothing
// is returned from a message that breaks one.
struct CodecLimits {
  // Size of a whole message, read or written, in bytes.
  size_t maxMessageBytes = 64u * 1024u * 1024u;
  // Nesting of values: a data object, an array or a boxed (typed anyType)
  // value inside another counts one level. Clamped to kHardMaxDepth.
  int maxDepth = 64;
  // Elements of one array value or array property.
  size_t maxArrayElements = 100000;
  // Length of one text value in bytes: in XML as it stands in the message
  // (strings, numbers, names), in JSON once unescaped (strings).
  size_t maxStringBytes = 8u * 1024u * 1024u;

  // The reader and the writer recurse once a level; this bounds their stack.
  static constexpr int kHardMaxDepth = 512;
};

struct CodecOptions {
  // The API version the messages are for, by name ("zel.version.version2").
  // A writer sends nothing newer and refuses values of newer types; a reader
  // refuses elements or members newer than it. Empty: every version.
  std::string version;
  // A lenient reader skips elements or members it does not know instead of
  // refusing the message. Unknown type names are refused either way.
  bool lenient = false;
  CodecLimits limits;
};

}  // namespace Lumo
