#include "LateTypeRecords.h"

namespace {

constexpr const char* kVersion = "test.version.version1";

const Lumo::TypeInfo gLateBaseTypeInfo = {Lumo::kTypeKindDataObject, "test.LateBase",
                                          "TestLateBase", kVersion};
const Lumo::TypeInfo gLateDerivedTypeInfo = {Lumo::kTypeKindDataObject, "test.LateDerived",
                                             "TestLateDerived", kVersion};
const Lumo::TypeInfo gShapeTypeInfo = {Lumo::kTypeKindEnum, "test.Shape", "TestShape", kVersion};

const Lumo::PropInfo kNoProperties[] = {{nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr}};
const char* const kShapeValues[] = {"circle", "square", nullptr};

bool AlwaysSet(const Lumo::Any*, int) { return true; }
Lumo::Any* NoInstance() { return nullptr; }

// A data object without properties whose record creates no instances.
constexpr Lumo::DataTypeInfo EmptyRecord(const Lumo::TypeInfo* type, const Lumo::TypeInfo* parent) {
  return {type,    parent,    kNoProperties, nullptr,    nullptr,   nullptr,
          nullptr, AlwaysSet, nullptr,       NoInstance, NoInstance};
}

}  // namespace

namespace LumoTest {

const Lumo::DataTypeInfo kLateBaseInfo = EmptyRecord(&gLateBaseTypeInfo, &gOlyxDynamicDataTypeInfo);
const Lumo::DataTypeInfo kLateDerivedInfo = EmptyRecord(&gLateDerivedTypeInfo, &gLateBaseTypeInfo);
const Lumo::EnumTypeInfo kShapeInfo = {&gShapeTypeInfo, kShapeValues};

}  // namespace LumoTest
