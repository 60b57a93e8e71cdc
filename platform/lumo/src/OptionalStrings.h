// Optional properties of the runtime's own data objects and faults: the
// loose match of equality, and the validated set and swap of optional strings.
#pragma once

#include <Kestrum/Optional.h>
#include <Kestrum/Panic.h>
#include <Lumo/Any.h>
#include <Lumo/Validate.h>

#include <string>

namespace Lumo::Detail {

// Optional values match when equal, or (loosely) when other's is unset.
template <class T>
bool OptionalMatches(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& theirs,
                     bool looseMatch) {
  if (looseMatch && !theirs.IsSet()) return true;
  return mine == theirs;
}

inline void SetOptionalString(Kestrum::Optional<std::string>& member,
                              const Kestrum::Optional<std::string>& value, const Any* owner,
                              int index) {
  if (&member == &value) return;
  if (value.IsSet()) Validate<std::string>(value.GetPtr(), owner, index);
  member = value;
}

inline void SwapOptionalString(Kestrum::Optional<std::string>& member,
                               Kestrum::Optional<std::string>* const value, const Any* owner,
                               int index, const char* path, int line) {
  KESTRUM_ASSERT_AT(value, path, line);
  if (value->IsSet()) Validate<std::string>(value->GetPtr(), owner, index);
  member.Swap(*value);
}

}  // namespace Lumo::Detail
