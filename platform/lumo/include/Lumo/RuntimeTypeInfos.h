// The runtime's own type records. Type libraries store their addresses into
// their description records during static initialisation.
#pragma once

#include <Lumo/TypeInfo.h>

extern Lumo::TypeInfo gStringTypeInfo;
extern Lumo::TypeInfo gBoolTypeInfo;
extern Lumo::TypeInfo gIntTypeInfo;
extern Lumo::TypeInfo gLongTypeInfo;
extern Lumo::TypeInfo gDoubleTypeInfo;
extern Lumo::TypeInfo gDateTimeTypeInfo;
extern Lumo::TypeInfo gAnyTypeInfo;
extern Lumo::TypeInfo gTypeNameTypeInfo;
// Managed object references held in anyType values ("ManagedObjectReference").
extern Lumo::TypeInfo gManagedObjectReferenceTypeInfo;
extern Lumo::TypeInfo gOlyxDynamicDataTypeInfo;
extern Lumo::TypeInfo gOlyxKeyAnyValueTypeInfo;
extern Lumo::TypeInfo gOlyxMethodFaultTypeInfo;
extern Lumo::TypeInfo gOlyxManagedObjectTypeInfo;
extern Lumo::TypeInfo gOlyxFaultInvalidArgumentTypeInfo;
extern Lumo::TypeInfo gOlyxFaultNotSupportedTypeInfo;
