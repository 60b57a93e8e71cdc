// Everything of the runtime in one include.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/Array.h>
#include <Lumo/Collection.h>
#include <Lumo/DataArray.h>
#include <Lumo/Diff.h>
#include <Lumo/DynamicData.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/KeyAnyValue.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MethodFault.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/Stub.h>
#include <Lumo/Type.h>
#include <Lumo/TypeInfo.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/TypeName.h>
#include <Lumo/Validate.h>
