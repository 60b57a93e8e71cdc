// Finds a property or parameter by its element name in one probe: an open
// addressing table of the names' hashes, built once per type or method, so
// that matching an element costs one hash and one comparison however many
// properties the type has and in whatever order the elements come.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Lumo {
namespace Wire {
namespace Detail {

class NameIndex {
 public:
  static constexpr int kNone = -1;

  NameIndex() = default;
  // names[i] is found as i; a repeated name is found as its first position.
  explicit NameIndex(const std::vector<std::string_view>& names);

  // The position of name, or kNone.
  int Find(std::string_view name) const;

 private:
  static uint32_t Hash(std::string_view name);

  std::vector<std::string_view> _names;
  // Positions + 1 by hash; 0 marks a free entry. A power of two in size, at
  // most half full.
  std::vector<int32_t> _table;
  uint32_t _mask = 0;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
