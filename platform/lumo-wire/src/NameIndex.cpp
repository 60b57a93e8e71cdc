#include "NameIndex.h"

namespace Lumo {
namespace Wire {
namespace Detail {

NameIndex::NameIndex(const std::vector<std::string_view>& names) : _names(names) {
  size_t size = 4;
  while (size < 2 * names.size()) size *= 2;
  _table.assign(size, 0);
  _mask = static_cast<uint32_t>(size - 1);
  for (size_t i = 0; i < names.size(); ++i) {
    if (Find(names[i]) != kNone) continue;
    uint32_t at = Hash(names[i]) & _mask;
    while (_table[at] != 0) at = (at + 1) & _mask;
    _table[at] = static_cast<int32_t>(i + 1);
  }
}

// FNV-1a: names are short and differ anywhere.
uint32_t NameIndex::Hash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

int NameIndex::Find(std::string_view name) const {
  if (_table.empty()) return kNone;
  for (uint32_t at = Hash(name) & _mask;; at = (at + 1) & _mask) {
    int32_t entry = _table[at];
    if (entry == 0) return kNone;
    if (_names[static_cast<size_t>(entry - 1)] == name) return entry - 1;
  }
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
