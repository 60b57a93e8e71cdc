"""Enumerations: the enum type, its wire-string constants, its records and its five functions."""

from . import names


class EnumEmitter:
    def __init__(self, binding):
        self.b = binding

    def constants(self, decl):
        """(constant name, wire string) per value, in ordinal order."""
        return [(names.enum_constant(decl.short_name, v), v) for v in decl.values]

    def print_declaration(self, p, decl, in_class):
        """The enum and its constants, inside a class body or a namespace."""
        p.print("enum class $name$ : int32_t {", name=decl.short_name)
        with p.indented():
            for ordinal, value in enumerate(decl.values):
                p.print("$enumerator$ = $ordinal$,  ///< Wire string \"$value$\".", enumerator=names.enumerator(value),
                        ordinal=ordinal, value=value)
        p.print("};")
        storage = "static const char" if in_class else "extern const char"
        for constant, value in self.constants(decl):
            p.print("$storage$ $constant$[];  ///< \"$value$\"", storage=storage, constant=constant, value=value)

    def print_after_scope(self, p, decl):
        """Declarations that follow the scope: GetEnumType and the array templates."""
        p.print("""namespace Lumo {
template <>
EnumType* GetEnumType<$enum$>();
}  // namespace Lumo
extern template class Lumo::Array<$enum$>;
extern template class Lumo::Primitive<$enum$>;""", enum=self.b.cpp_class(decl))

    # ----- description unit ---------------------------------------------
    def print_constants_definitions(self, p, decl):
        scope = self.b.scope_of(decl)
        for constant, value in self.constants(decl):
            p.print("const char $scope$::$constant$[] = $text$;", scope=scope, constant=constant,
                    text=names.c_string(value))

    def print_records(self, p, decl):
        """The values record, the enumeration record and the five functions."""
        scope = self.b.scope_of(decl)
        with p.variables(symbol=names.joined(decl.name), enum=self.b.cpp_class(decl)):
            p.print("const char* const k$symbol$Values[] = {")
            with p.indented():
                for constant, _ in self.constants(decl):
                    p.print("$scope$::$constant$,", scope=scope, constant=constant)
                p.print("nullptr,")
            p.print("};")
            p.print("const Lumo::EnumTypeInfo k$symbol$Enum = {&$record$, k$symbol$Values};",
                    record=names.record_symbol(decl.name))
            p.blank()
            self._print_functions(p)

    def _print_functions(self, p):
        p.print(
            """int $symbol$_unboxValue(const Lumo::Any* value) {
  const auto* boxed = dynamic_cast<const Lumo::Primitive<$enum$>*>(value);
  if (boxed == nullptr) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Primitive<$enum$>), typeid(*value));
  return static_cast<int>(boxed->GetValue());
}

Lumo::Any* $symbol$_boxValue(int ordinal) { return new Lumo::Primitive<$enum$>(static_cast<$enum$>(ordinal)); }

void $symbol$_toStringArray(const Lumo::Any* values, const Lumo::EnumType* type,
                         Kestrum::Ref<Lumo::Array<std::string>>& result) {
  const auto* array = dynamic_cast<const Lumo::Array<$enum$>*>(values);
  if (array == nullptr) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Array<$enum$>), typeid(*values));
  const int count = array->_GetLength();
  result = new Lumo::Array<std::string>(count);
  for (int i = 0; i < count; ++i) {
    const char* wire = type->ToWireString(static_cast<int>(array->Get(i)));
    std::string text = wire != nullptr ? wire : "";
    Lumo::Validate<std::string>(&text, result.Get(), i);
    result->Set(i, std::move(text));
  }
}

Lumo::Any* $symbol$_fromStringArray(const Lumo::Array<std::string>* strings, const Lumo::EnumType* type) {
  // Convert first, so that a refused string leaves nothing allocated.
  const int count = strings->_GetLength();
  std::vector<$enum$> ordinals;
  ordinals.reserve(count);
  for (int i = 0; i < count; ++i) ordinals.push_back(static_cast<$enum$>(type->FromWireString(strings->Get(i))));
  auto* array = new Lumo::Array<$enum$>(count);
  for (int i = 0; i < count; ++i) array->Set(i, ordinals[i]);
  return array;
}

Lumo::Any* $symbol$_createEnumArray() { return new Lumo::Array<$enum$>(); }""")

    def print_functions_fill(self, p, decl):
        p.print(
            """funcs.unboxValue = &$symbol$_unboxValue;
funcs.boxValue = &$symbol$_boxValue;
funcs.toStringArray = &$symbol$_toStringArray;
funcs.fromStringArray = &$symbol$_fromStringArray;
funcs.createEnumArray = &$symbol$_createEnumArray;""", symbol=names.joined(decl.name))
