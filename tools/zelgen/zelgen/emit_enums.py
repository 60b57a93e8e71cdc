"""Enumerations: the enum type, its wire-string constants and its five functions."""

from . import names


class EnumEmitter:
    def __init__(self, binding):
        self.b = binding

    def constants(self, decl):
        """(constant name, wire string) per value, in ordinal order."""
        return [(names.enum_constant(decl.short_name, v), v) for v in decl.values]

    def emit_declaration(self, p, decl, in_class):
        """The enum and its constants, inside a class body or a namespace."""
        p.print("enum class $E$ : int32_t {", E=decl.short_name)
        p.indent()
        for ordinal, value in enumerate(decl.values):
            p.print("$n$ = $i$,", n=names.enumerator(value), i=ordinal)
        p.outdent()
        p.print("};")
        storage = "static const char" if in_class else "extern const char"
        for const, _ in self.constants(decl):
            p.print("$s$ $c$[];", s=storage, c=const)

    def emit_after_class(self, p, decl):
        """Declarations that follow the scope: GetEnumType and the array templates."""
        E = self.b.cpp_class(decl)
        p.print("namespace Lumo {")
        p.print("template <>")
        p.print("EnumType* GetEnumType<$E$>();", E=E)
        p.print("}  // namespace Lumo")
        p.print("extern template class Lumo::Array<$E$>;", E=E)
        p.print("extern template class Lumo::Primitive<$E$>;", E=E)

    # ----- description unit ---------------------------------------------
    def emit_constants_definitions(self, p, decl):
        scope = self.b.scope_of(decl)
        for const, value in self.constants(decl):
            p.print("const char $s$::$c$[] = $v$;", s=scope, c=const, v=names.c_string(value))

    def emit_values_record(self, p, decl):
        scope = self.b.scope_of(decl)
        sym = names.joined(decl.name)
        p.print("const char* const k$sym$Values[] = {", sym=sym)
        p.indent()
        for const, _ in self.constants(decl):
            p.print("$s$::$c$,", s=scope, c=const)
        p.print("nullptr,")
        p.outdent()
        p.print("};")

    def emit_functions(self, p, decl):
        E = self.b.cpp_class(decl)
        sym = names.joined(decl.name)
        p.print(
            """int $sym$_unboxValue(const Lumo::Any* value) {
  const auto* boxed = dynamic_cast<const Lumo::Primitive<$E$>*>(value);
  if (boxed == nullptr) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Primitive<$E$>), typeid(*value));
  return static_cast<int>(boxed->GetValue());
}

Lumo::Any* $sym$_boxValue(int ordinal) { return new Lumo::Primitive<$E$>(static_cast<$E$>(ordinal)); }

void $sym$_toStringArray(const Lumo::Any* values, const Lumo::EnumType* type,
                         Kestrum::Ref<Lumo::Array<std::string>>& result) {
  const auto* array = dynamic_cast<const Lumo::Array<$E$>*>(values);
  if (array == nullptr) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Array<$E$>), typeid(*values));
  const int count = array->_GetLength();
  result = new Lumo::Array<std::string>(count);
  for (int i = 0; i < count; ++i) {
    const char* wire = type->ToWireString(static_cast<int>(array->Get(i)));
    std::string text = wire != nullptr ? wire : "";
    Lumo::Validate<std::string>(&text, result.Get(), i);
    result->Set(i, std::move(text));
  }
}

Lumo::Any* $sym$_fromStringArray(const Lumo::Array<std::string>* strings, const Lumo::EnumType* type) {
  // Convert first, so that a refused string leaves nothing allocated.
  const int count = strings->_GetLength();
  std::vector<$E$> ordinals;
  ordinals.reserve(count);
  for (int i = 0; i < count; ++i) ordinals.push_back(static_cast<$E$>(type->FromWireString(strings->Get(i))));
  auto* array = new Lumo::Array<$E$>(count);
  for (int i = 0; i < count; ++i) array->Set(i, ordinals[i]);
  return array;
}

Lumo::Any* $sym$_createEnumArray() { return new Lumo::Array<$E$>(); }""", sym=sym, E=E)

    def emit_funcs_fill(self, p, decl):
        sym = names.joined(decl.name)
        p.print(
            """funcs.unboxValue = &$sym$_unboxValue;
funcs.boxValue = &$sym$_boxValue;
funcs.toStringArray = &$sym$_toStringArray;
funcs.fromStringArray = &$sym$_fromStringArray;
funcs.createEnumArray = &$sym$_createEnumArray;""", sym=sym)
