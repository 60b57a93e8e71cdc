// Records of types that no loader creates: the registry tests create them
// themselves, after the start and in the order they choose (a derived type
// before its base, to show that the runtime links it once the base comes).
// The generated library (schema/) has a record for every type its loader
// creates, with every accessor filled in; these few are written by hand on
// purpose: no properties, no property accessors, no instances.
#pragma once

#include <Lumo/Lumo.h>

namespace LumoTest {

extern const Lumo::DataTypeInfo kLateBaseInfo;     // test.LateBase : olyx.DynamicData
extern const Lumo::DataTypeInfo kLateDerivedInfo;  // test.LateDerived : test.LateBase
extern const Lumo::EnumTypeInfo kShapeInfo;        // test.Shape: circle, square

}  // namespace LumoTest
