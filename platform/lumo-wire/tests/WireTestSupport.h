// Shared pieces of the wire tests: the started runtime, the types of the
// loaded type libraries, a record-driven filler that sets every property of
// any data object to a non-default value, and comparisons.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>

#include <cstdint>
#include <string>
#include <vector>

namespace WireTest {

// Starts the runtime once (every test binary calls it from its environment).
void StartRuntime();

// The types the "zel" loaders reported, in slot order.
std::vector<const Lumo::Type*> ZelTypes();
const Lumo::Type* TypeNamed(const std::string& wireName);
const Lumo::DataObjectType* DataTypeNamed(const std::string& wireName);
const Lumo::ManagedObjectType* ManagedTypeNamed(const std::string& wireName);

// Builds values through the description records only.
class Filler {
 public:
  explicit Filler(uint32_t seed = 1) : _counter(seed) {}

  // A new object of type with every property (inherited ones too) set.
  Kestrum::Ref<Lumo::Any> Object(const Lumo::DataObjectType* type, int depth = 0);
  // A value for a property or parameter typed by the record, held the way the
  // record accessors take it (plain) or boxed (boxed = true: strings and
  // plain values as Primitive<T>). Arrays get two elements.
  Kestrum::Ref<Lumo::Any> Boxed(const Lumo::TypeInfo* type, uint32_t flags, int depth = 0);
  // An anyType value, rotating through boxed primitives, references, arrays,
  // enumerations and data objects.
  Kestrum::Ref<Lumo::Any> AnyValue(int depth);
  // A data object of type or, taking turns, of a type derived from it.
  Kestrum::Ref<Lumo::Any> Derived(const Lumo::DataObjectType* type, int depth);
  // A reference to an object of the managed type.
  Kestrum::Ref<Lumo::Any> Reference(const Lumo::Type* managed);

  // Sets one property through the record (index counts the level's own list).
  void SetProperty(Lumo::Any* object, const Lumo::DataTypeInfo* level, int index, int depth);

 private:
  std::string Text(const char* hint);
  uint32_t Next() { return ++_counter; }
  uint32_t _counter;
};

// a and b: both null, or the same class, _IsEqual both ways and no diff.
// Writes the reason to why when they differ.
bool SameValue(const Lumo::Any* a, const Lumo::Any* b, std::string* why = nullptr);

// The reason of a WireFormatFault exception, or "" for any other exception.
std::string ReasonOf(const Lumo::MethodFault::Exception& e);

}  // namespace WireTest
