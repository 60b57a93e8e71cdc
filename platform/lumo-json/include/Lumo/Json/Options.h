// Settings of the JSON mapping: the API version a document is for, how strict
// the reader is, and the limits that bound what a reader accepts and a writer
// produces. The defaults are those of the XML wire.
#pragma once

#include <cstddef>
#include <string>

namespace Lumo {
namespace Json {

// Every limit refuses with a Json::Error naming the place; nothing is returned
// from a document that breaks one.
struct Limits {
  // Size of a whole document, read or written, in bytes.
  size_t maxMessageBytes = 64u * 1024u * 1024u;
  // Nesting of values: a data object, an array or a typed anyType value inside
  // another counts one level. Clamped to kHardMaxDepth.
  int maxDepth = 64;
  // Elements of one array.
  size_t maxArrayElements = 100000;
  // Length of one string value in bytes, once unescaped.
  size_t maxStringBytes = 8u * 1024u * 1024u;

  // The reader and the writer recurse once a level; this bounds their stack.
  static constexpr int kHardMaxDepth = 512;
};

struct Options {
  // The API version the documents are for, by name ("zel.version.version2").
  // A writer leaves out newer properties and refuses values of newer types; a
  // reader refuses them. Empty: every version.
  std::string version;
  // A lenient reader skips members it does not know instead of refusing the
  // document. Unknown type names are refused either way.
  bool lenient = false;
  Limits limits;
};

}  // namespace Json
}  // namespace Lumo
