// Text rendering of runtime values.
#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/QuotedText.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/Type.h>

#include <algorithm>
#include <cstdio>

#include "Internal.h"

namespace Lumo {

namespace {

constexpr int kIndent = 3;

void Pad(int depth, std::string& out) { out.append(static_cast<size_t>(depth * kIndent), ' '); }

std::string Quote(const std::string& text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

std::string Plain(const std::string& v) { return Quote(v); }
std::string Plain(bool v) { return v ? "true" : "false"; }
std::string Plain(int32_t v) { return std::to_string(v); }
std::string Plain(int64_t v) { return std::to_string(v); }
std::string Plain(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}
std::string Plain(const Kestrum::System::DateTime& v) { return v.ToString(); }
std::string Plain(const TypeName& v) { return Quote(v.name); }

void Render(const Any* value, int depth, std::string& out);

template <class T>
bool RenderPrimitive(const Any* value, const char* typeName, std::string& out) {
  auto* boxed = dynamic_cast<const Primitive<T>*>(value);
  if (!boxed) return false;
  out += std::string("(") + typeName + ") " + Plain(boxed->GetValue());
  return true;
}

void RenderList(const std::string& typeName, const std::vector<std::string>& items, int depth,
                std::string& out) {
  out += "(" + typeName + ") [";
  if (items.empty()) {
    out += "]";
    return;
  }
  out += "\n";
  for (size_t i = 0; i < items.size(); ++i) {
    Pad(depth + 1, out);
    out += items[i];
    out += i + 1 < items.size() ? ",\n" : "\n";
  }
  Pad(depth, out);
  out += "]";
}

template <class T>
bool RenderArray(const Any* value, const char* typeName, int depth, std::string& out) {
  auto* array = dynamic_cast<const Array<T>*>(value);
  if (!array) return false;
  std::vector<std::string> items;
  for (int i = 0; i < array->GetLength(); ++i) items.push_back(Plain(T(array->Get(i))));
  RenderList(std::string(typeName) + "[]", items, depth, out);
  return true;
}

std::string RenderPeeked(Detail::ValueKind kind, const PropInfo& property, const void* p,
                         int depth) {
  if (!p) return "<unset>";
  switch (kind) {
    case Detail::ValueKind::kString:
      return Plain(*static_cast<const std::string*>(p));
    case Detail::ValueKind::kBool:
      return Plain(*static_cast<const bool*>(p));
    case Detail::ValueKind::kInt:
      return Plain(*static_cast<const int32_t*>(p));
    case Detail::ValueKind::kLong:
      return Plain(*static_cast<const int64_t*>(p));
    case Detail::ValueKind::kDouble:
      return Plain(*static_cast<const double*>(p));
    case Detail::ValueKind::kDateTime:
      return Plain(*static_cast<const Kestrum::System::DateTime*>(p));
    case Detail::ValueKind::kTypeName:
      return Plain(*static_cast<const TypeName*>(p));
    case Detail::ValueKind::kEnum: {
      int ordinal = *static_cast<const int32_t*>(p);
      Type* type = property.type ? FindTypeByName(property.type->name) : nullptr;
      auto* enumType = dynamic_cast<EnumType*>(type);
      const char* wire = enumType ? enumType->ToWireString(ordinal) : nullptr;
      return wire ? wire : std::to_string(ordinal);
    }
    case Detail::ValueKind::kReference: {
      std::string out;
      Render(static_cast<const Any*>(p), depth, out);
      return out;
    }
  }
  return "?";
}

void RenderDataObject(const DynamicData* object, int depth, std::string& out) {
  const DataObjectType* type = object->_GetDataType();
  out += std::string("(") + type->GetName() + ") {";
  std::vector<const DataObjectType*> chain;
  for (const DataObjectType* t = type; t; t = t->GetBase()) chain.push_back(t);
  std::reverse(chain.begin(), chain.end());
  std::vector<std::string> lines;
  for (const DataObjectType* level : chain) {
    const DataTypeInfo* info = level->GetInfo();
    for (int i = 0; i < level->GetPropertyCount(); ++i) {
      const PropInfo& property = level->GetProperty(i);
      const void* p = info->peekProperty ? info->peekProperty(object, i) : nullptr;
      lines.push_back(std::string(property.name) + " = " +
                      RenderPeeked(Detail::GetValueKind(property), property, p, depth + 1));
    }
  }
  if (lines.empty()) {
    out += "}";
    return;
  }
  out += "\n";
  for (size_t i = 0; i < lines.size(); ++i) {
    Pad(depth + 1, out);
    out += lines[i];
    out += i + 1 < lines.size() ? ",\n" : "\n";
  }
  Pad(depth, out);
  out += "}";
}

void Render(const Any* value, int depth, std::string& out) {
  if (!value) {
    out += "<unset>";
    return;
  }
  if (auto* object = dynamic_cast<const DynamicData*>(value)) {
    RenderDataObject(object, depth, out);
    return;
  }
  if (auto* array = dynamic_cast<const DataArrayBase*>(value)) {
    out += std::string("(") + array->_GetType()->GetName() + ") [";
    if (array->IsEmpty()) {
      out += "]";
      return;
    }
    out += "\n";
    for (int i = 0; i < array->GetLength(); ++i) {
      Pad(depth + 1, out);
      Render(array->GetAt(i), depth + 1, out);
      out += i + 1 < array->GetLength() ? ",\n" : "\n";
    }
    Pad(depth, out);
    out += "]";
    return;
  }
  if (auto* ref = dynamic_cast<const MoRef*>(value)) {
    out += "(ManagedObjectReference) '" + ref->GetTypeName() + ":" + ref->GetId() + "'";
    return;
  }
  using Kestrum::System::DateTime;
  if (RenderPrimitive<std::string>(value, "string", out) ||
      RenderPrimitive<bool>(value, "boolean", out) || RenderPrimitive<int32_t>(value, "int", out) ||
      RenderPrimitive<int64_t>(value, "long", out) ||
      RenderPrimitive<double>(value, "double", out) ||
      RenderPrimitive<DateTime>(value, "dateTime", out) ||
      RenderPrimitive<TypeName>(value, "typeName", out) ||
      RenderArray<std::string>(value, "string", depth, out) ||
      RenderArray<bool>(value, "boolean", depth, out) ||
      RenderArray<int32_t>(value, "int", depth, out) ||
      RenderArray<int64_t>(value, "long", depth, out) ||
      RenderArray<double>(value, "double", depth, out) ||
      RenderArray<DateTime>(value, "dateTime", depth, out) ||
      RenderArray<TypeName>(value, "typeName", depth, out)) {
    return;
  }
  // Enumeration values and arrays: through their type's functions.
  Type* type = FindType(typeid(*value));
  if (auto* enumType = dynamic_cast<EnumType*>(type)) {
    const EnumFuncs& funcs = enumType->GetFuncs();
    if (funcs.unboxValue) {
      const char* wire = enumType->ToWireString(funcs.unboxValue(value));
      out += std::string("(") + enumType->GetName() + ") " + (wire ? wire : "?");
      return;
    }
  }
  if (type && type->IsArray()) {
    if (auto* enumType = dynamic_cast<EnumType*>(type->GetElementType())) {
      if (enumType->GetFuncs().toStringArray) {
        Kestrum::Ref<Array<std::string>> strings;
        enumType->GetFuncs().toStringArray(value, enumType, strings);
        std::vector<std::string> items(strings->GetValues().begin(), strings->GetValues().end());
        RenderList(type->GetName(), items, depth, out);
        return;
      }
    }
  }
  out += "(" + Kestrum::DemangleClassName(typeid(*value)) + ")";
}

}  // namespace

std::string SerializeToText(const Any* value) {
  if (!value) return "";
  std::string out;
  Render(value, 0, out);
  return out;
}

SerializeFormatter::SerializeFormatter(const Any* value) { SetText(SerializeToText(value)); }

}  // namespace Lumo
