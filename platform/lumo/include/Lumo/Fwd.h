// Forward declarations of the runtime's classes.
#pragma once

namespace Kestrum {
template <class T>
class Ref;
class Exception;
namespace System {
class DateTime;
class ScheduledItem;
}  // namespace System
}  // namespace Kestrum

namespace Lumo {
class Any;
class Collection;
class DataArrayBase;
template <class T>
class DataArray;
template <class T>
class Array;
template <class T>
class Primitive;
class DynamicData;
class KeyAnyValue;
class MethodFault;
class MoRef;
class ManagedObject;
class ManagedMethod;
class Stub;
class StubImpl;
class StubAdapter;
class RequestContext;
class Type;
class PrimitiveType;
class ArrayType;
class DataObjectType;
class ManagedObjectType;
class EnumType;
class PropertyPath;
class PropertyDiffSet;
struct TypeName;
}  // namespace Lumo
