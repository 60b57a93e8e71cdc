"""One object per property kind: the C++ shape of a property, parameter or
result, and every piece of code that depends on it.

A kind knows its storage, its accessors (declared in the class, or defined
inline in the full header for the kinds held by reference), its cases in the
record accessor functions, its equality and diff lines, how it is passed and
returned, and how it is boxed into and unboxed from a runtime value. Emitters
ask the kind and never test which kind they hold.

The accessor templates read these printer variables, set by the emitter:
`$Property$` (the capitalised name), `$member$` (the storage member),
`$getter$`, `$index$` (the property's index in its type), `$check$` (the
assertion of a swap), and `$class_name$` (the qualified class, in the full header).
"""

# Value-typed primitives passed and returned by value; the others by const reference.
_BY_VALUE = ("boolean", "int", "long", "double")


class Kind:
    """The shared defaults; `cpp` is the value type or the held class."""

    primitive = None
    reference_held = False
    is_array = False
    # Whether a property of this kind can be absent whatever its flags.
    always_optional = False

    def __init__(self, cpp):
        self.cpp = cpp

    def getter(self, capitalised_name):
        """The name of the getter: Get<Property>, Is<Property> for booleans."""
        return ("Is" if self.primitive == "boolean" else "Get") + capitalised_name

    # ----- storage -------------------------------------------------------------
    @property
    def storage(self):
        return "Kestrum::Ref<%s>" % self.cpp

    def member_declaration(self, member):
        return "%s %s;" % (self.storage, member)

    def copy_initializer(self, member):
        return "%s(Lumo::Binding::CloneOf(other.%s))" % (member, member)

    @property
    def can_be_absent(self):
        """Whether `isPropertySet` must ask (a reference can be null, an optional unset)."""
        return self.reference_held or self.always_optional

    # ----- signatures ----------------------------------------------------------
    @property
    def parameter_type(self):
        """How a value of this kind is passed to a function."""
        return "%s*" % self.cpp

    def result_form(self):
        """(return type, trailing out-parameter or None) of a method result."""
        return "void", "Kestrum::Ref<%s>& result" % self.cpp

    # ----- boxing --------------------------------------------------------------
    def box_result(self, expression):
        return self.box(expression)

    def invoke_result(self, function, arguments):
        """Lines of `invokeByIndex` that call the implementation and keep its result."""
        return ["result = %s;" % self.box_result("self->%s(%s)" % (function, ", ".join(arguments)))]


class ValueKind(Kind):
    """A required plain value (`std::string`, `int32_t`, `DateTime`, ...)."""

    def __init__(self, primitive, cpp):
        super().__init__(cpp)
        self.primitive = primitive

    @property
    def storage(self):
        return self.cpp

    def member_declaration(self, member):
        return "%s %s{};" % (self.cpp, member)

    def copy_initializer(self, member):
        return "%s(other.%s)" % (member, member)

    @property
    def parameter_type(self):
        return self.cpp if self.primitive in _BY_VALUE else "const %s&" % self.cpp

    def result_form(self):
        return self.cpp, None

    # ----- accessors -----------------------------------------------------------
    def print_accessor_declarations(self, p):
        p.print(
            """/// The value.
$type_by$$getter$() const { return $member$; }
/// The value's address: never null, a required value is always present.
const $type$* Peek$Property$() const { return &$member$; }
/// Sets the value.
void Set$Property$($type_by$value) { $member$ = value; }
/// Exchanges the value with *value (not null).
void Swap$Property$($type$* const value) {
  $check$
  std::swap($member$, *value);
}""", type=self.cpp, type_by=self.parameter_type + " ")

    # ----- record accessor cases --------------------------------------------------
    def get_case(self):
        return ["*static_cast<%s*>(dest) = self->$getter$();" % self.cpp]

    def set_case(self):
        return ["self->Set$Property$(*static_cast<const %s*>(value));" % self.cpp]

    def swap_case(self):
        return ["self->Swap$Property$(static_cast<%s*>(value));" % self.cpp]

    def unset_case(self):
        return ["self->Unset$Property$();"]

    # ----- equality and diff ---------------------------------------------------------
    uses_loose_match = False

    def differs(self, member):
        return "!(%s == that->%s)" % (member, member)

    def equality_line(self, member, flags):
        return "if (%s) return false;" % self.differs(member)

    def diff_line(self, member, dot_name, flags):
        return "if (%s) diffs.AddChanged(Lumo::PropertyPath(prefix + %s));" % (self.differs(member), dot_name)

    # ----- boxing ------------------------------------------------------------------
    def box(self, expression):
        return "Lumo::Binding::Box(%s)" % expression

    def unbox_result(self, return_type):
        return "return Lumo::Binding::ValueResult<%s>(value);" % return_type

    def unbox_argument(self, variable, index, wire_name):
        return "const %s %s = Lumo::Binding::ValueArgument<%s>(args, %d, %s);" % (
            self.cpp, variable, self.cpp, index, wire_name)


class StringValueKind(ValueKind):
    """A required string: validated on the way in, movable by swap."""

    def __init__(self):
        super().__init__("string", "std::string")

    def member_declaration(self, member):
        return "%s %s;" % (self.cpp, member)

    def print_accessor_declarations(self, p):
        p.print(
            """/// The value.
const std::string& Get$Property$() const { return $member$; }
/// The value's address: never null, a required value is always present.
const std::string* Peek$Property$() const { return &$member$; }
/// Sets a copy of value. Text XML cannot carry (invalid UTF-8, a character XML
/// forbids) is refused with Lumo::Fault::InvalidArgument::Exception, changing nothing.
void Set$Property$(const std::string& value) {
  Lumo::Validate<std::string>(&value, this, $index$);
  if (&value != &$member$) $member$ = value;
}
/// Takes value over (no copy), checked as the copying setter checks.
void Set$Property$(std::string&& value) {
  Lumo::Validate<std::string>(&value, this, $index$);
  $member$ = std::move(value);
}
/// Sets value without checking it: text XML cannot carry is refused only when the
/// object is written to the wire (olyx.fault.WireFormat, reason badValue).
void Set$Property$(const char* value) { $member$ = value; }
/// Exchanges the value with *value (not null), checked as the std::string setter checks.
void Swap$Property$(std::string* const value) {
  $check$
  Lumo::Validate<std::string>(value, this, $index$);
  $member$.swap(*value);
}""")

    def box(self, expression):
        return "Lumo::Binding::BoxString(%s)" % expression

    def unbox_result(self, return_type):
        return "return Lumo::Binding::StringResult(value);"

    def unbox_argument(self, variable, index, wire_name):
        return "const std::string %s = Lumo::Binding::StringArgument(args, %d, %s);" % (variable, index, wire_name)


class BoolValueKind(ValueKind):
    def __init__(self):
        super().__init__("boolean", "bool")

    def box(self, expression):
        return "Lumo::BoxBool(%s)" % expression

    def unbox_result(self, return_type):
        return "return Lumo::Binding::BoolResult(value);"

    def unbox_argument(self, variable, index, wire_name):
        return "const bool %s = Lumo::Binding::BoolArgument(args, %d, %s);" % (variable, index, wire_name)


class DateTimeValueKind(ValueKind):
    """Dates compare by their UTC time."""

    def __init__(self, cpp):
        super().__init__("dateTime", cpp)

    def differs(self, member):
        return "%s.GetUtcTime() != that->%s.GetUtcTime()" % (member, member)


class OptionalKind(Kind):
    """An optional plain value: `Kestrum::Optional<T>`."""

    always_optional = True
    uses_loose_match = True
    validated = False

    def __init__(self, primitive, cpp):
        super().__init__(cpp)
        self.primitive = primitive

    @property
    def storage(self):
        return "Kestrum::Optional<%s>" % self.cpp

    def copy_initializer(self, member):
        return "%s(other.%s)" % (member, member)

    @property
    def parameter_type(self):
        return "const Kestrum::Optional<%s>&" % self.cpp

    def result_form(self):
        return "Kestrum::Optional<%s>" % self.cpp, None

    def print_accessor_declarations(self, p):
        if self.validated:
            copy = "if (&value != &$member$.GetValue()) value = $member$.GetValue();"
            validate_set = "if (value.IsSet()) Lumo::Validate<std::string>(&value.GetValue(), this, $index$);\n  "
            validate_swap = "if (value->IsSet()) Lumo::Validate<std::string>(&value->GetValue(), this, $index$);\n  "
            refusal = ("\n/// Text XML cannot carry is refused with Lumo::Fault::InvalidArgument::Exception,"
                       "\n/// changing nothing.")
            # A string given as a temporary is taken over rather than copied.
            move_set = ("\n/// Takes value over (no copy), checked as the copying setter checks.\n"
                        "void Set$Property$(Kestrum::Optional<$type$>&& value) {\n  " + validate_set +
                        "$member$ = std::move(value);\n}")
        else:
            copy, validate_set, validate_swap = "value = $member$.GetValue();", "", ""
            move_set = ""
            refusal = ""
        p.print(
            """/// The value, unset until one is given.
const Kestrum::Optional<$type$>& $getter$() const { return $member$; }
/// Copies the value into value and returns true when it is set; false, and value
/// unchanged, when it is not.
bool $getter$($type$& value) const {
  if (!$member$.IsSet()) return false;
  """ + copy + """
  return true;
}
/// The value's address; null when it is unset.
const $type$* Peek$Property$() const { return $member$.GetPtr(); }
/// Sets the value, or unsets it when value is unset.""" + refusal + """
void Set$Property$(const Kestrum::Optional<$type$>& value) {
  """ + validate_set + """if (&value != &$member$) $member$ = value;
}""" + move_set + """
/// Exchanges the value with *value (not null).
void Swap$Property$(Kestrum::Optional<$type$>* const value) {
  $check$
  """ + validate_swap + """$member$.Swap(*value);
}
/// Unsets the value.
void Unset$Property$() { $member$.Reset(); }""", type=self.cpp)

    def get_case(self):
        return ["*static_cast<%s*>(dest) = self->$getter$().GetValue();" % self.cpp]

    def set_case(self):
        return ["self->Set$Property$(Kestrum::Optional<%s>(*static_cast<const %s*>(value)));" % (self.cpp, self.cpp)]

    def swap_case(self):
        return ["Lumo::Binding::SwapOptionalThroughPlain<%s>(value, [self](Kestrum::Optional<%s>* held) {"
                % (self.cpp, self.cpp),
                "  self->Swap$Property$(held);",
                "});"]

    def unset_case(self):
        return ["self->Unset$Property$();"]

    def equality_line(self, member, flags):
        return "if (!Lumo::Binding::OptionalMatches(%s, that->%s, looseMatch)) return false;" % (member, member)

    def diff_line(self, member, dot_name, flags):
        return "if (Lumo::Binding::OptionalDiffers(%s, that->%s)) diffs.AddChanged(Lumo::PropertyPath(prefix + %s));" % (
            member, member, dot_name)

    def box(self, expression):
        return "Lumo::Binding::Box(%s)" % expression

    def box_result(self, expression):
        # Results are boxed as plain optionals, booleans included.
        return "Lumo::Binding::Box(%s)" % expression

    def unbox_result(self, return_type):
        return "return Lumo::Binding::ValueResult<%s>(value);" % return_type

    def unbox_argument(self, variable, index, wire_name):
        return "const Kestrum::Optional<%s> %s = Lumo::Binding::OptionalValueArgument<%s>(args, %d);" % (
            self.cpp, variable, self.cpp, index)


class OptionalStringKind(OptionalKind):
    validated = True

    def __init__(self):
        super().__init__("string", "std::string")

    def box(self, expression):
        return "Lumo::Binding::BoxOptionalString(%s)" % expression

    def box_result(self, expression):
        return self.box(expression)

    def unbox_result(self, return_type):
        return "return Lumo::Binding::OptionalStringResult(value);"

    def unbox_argument(self, variable, index, wire_name):
        return "const Kestrum::Optional<std::string> %s = Lumo::Binding::OptionalStringArgument(args, %d);" % (
            variable, index)


class OptionalBoolKind(OptionalKind):
    def __init__(self):
        super().__init__("boolean", "bool")

    def box(self, expression):
        return "Lumo::Binding::BoxOptionalBool(%s)" % expression

    def unbox_argument(self, variable, index, wire_name):
        return "const Kestrum::Optional<bool> %s = Lumo::Binding::OptionalBoolArgument(args, %d);" % (
            variable, index)


class ReferenceKind(Kind):
    """A value held by `Kestrum::Ref`: data objects, faults, anyType, references, arrays."""

    reference_held = True
    uses_loose_match = True

    def equality_line(self, member, flags):
        return "if (!Lumo::AreEqualAnysInt(%s.Get(), that->%s.Get(), %d, looseMatch)) return false;" % (
            member, member, flags)

    def diff_line(self, member, dot_name, flags):
        return "Lumo::DiffAnyPropertiesInt(%s.Get(), that->%s.Get(), prefix, %s, %d, diffs);" % (
            member, member, dot_name, flags)

    def get_case(self):
        return ["*static_cast<Kestrum::Ref<Lumo::Any>*>(dest) = const_cast<%s*>(self->Get$Property$());" % self.cpp]

    def set_case(self):
        return ["self->Set$Property$(Lumo::Binding::CheckedCast<%s>(" % self.cpp,
                "    static_cast<const Kestrum::Ref<Lumo::Any>*>(value)->Get()));"]

    def swap_case(self):
        return ["Lumo::Binding::SwapReferenceThroughAny<%s>(value, [self](Kestrum::Ref<%s>* held) {"
                % (self.cpp, self.cpp),
                "  self->Swap$Property$(held);",
                "});"]

    def unset_case(self):
        return ["self->Set$Property$(nullptr);"]

    def box(self, expression):
        return expression

    def invoke_result(self, function, arguments):
        return ["Kestrum::Ref<%s> value;" % self.cpp, "self->%s(%s);" % (function, ", ".join(arguments + ["value"])),
                "result = value.Get();"]

    def unbox_result(self, return_type):
        return "result = Lumo::Binding::CheckedCast<%s>(value.Get());" % self.cpp

    def unbox_argument(self, variable, index, wire_name):
        return "%s* %s = Lumo::Binding::Argument<%s>(args, %d);" % (self.cpp, variable, self.cpp, index)

    def print_accessor_declarations(self, p):
        p.print(
            """/// The value; null when unset. The object keeps it: hold a Kestrum::Ref to keep it longer.
$type$* Get$Property$();
/// The value, read-only; null when unset.
const $type$* Get$Property$() const;
/// The value, read-only; null when unset.
const $type$* Peek$Property$() const;
/// Sets the value, taking a reference of its own; null unsets it.
void Set$Property$($type$* value);
/// Exchanges the value with the one *value (not null) holds.
void Swap$Property$(Kestrum::Ref<$type$>* const value);""", type=self.cpp)

    def print_inline_accessors(self, p):
        p.print(
            """inline $type$* $class_name$::Get$Property$() { return $member$.Get(); }
inline const $type$* $class_name$::Get$Property$() const { return $member$.Get(); }
inline const $type$* $class_name$::Peek$Property$() const { return $member$.Get(); }
inline void $class_name$::Set$Property$($type$* value) { $member$ = value; }
inline void $class_name$::Swap$Property$(Kestrum::Ref<$type$>* const value) {
  $check$
  $member$.Swap(*value);
}""", type=self.cpp)


class ObjectKind(ReferenceKind):
    """A data object, fault, other library's object or anyType."""


class MoRefKind(ReferenceKind):
    """A reference to a managed object."""

    def __init__(self):
        super().__init__("Lumo::MoRef")

    def get_case(self):
        return ["*static_cast<Kestrum::Ref<Lumo::Any>*>(dest) = self->Get$Property$();"]

    def print_accessor_declarations(self, p):
        p.print(
            """/// The reference; null when unset. The object keeps it: hold a Kestrum::Ref to keep it longer.
Lumo::MoRef* Get$Property$() const;
/// The reference, read-only; null when unset.
const Lumo::MoRef* Peek$Property$() const;
/// Sets the reference (the object holds it by a Kestrum::Ref); null unsets it.
void Set$Property$(Lumo::MoRef* value);
/// Exchanges the reference with the one *value (not null) holds.
void Swap$Property$(Kestrum::Ref<Lumo::MoRef>* const value);""")

    def print_inline_accessors(self, p):
        p.print(
            """inline Lumo::MoRef* $class_name$::Get$Property$() const { return $member$.Get(); }
inline const Lumo::MoRef* $class_name$::Peek$Property$() const { return $member$.Get(); }
inline void $class_name$::Set$Property$(Lumo::MoRef* value) { $member$ = value; }
inline void $class_name$::Swap$Property$(Kestrum::Ref<Lumo::MoRef>* const value) {
  $check$
  $member$.Swap(*value);
}""")


class ArrayKind(ReferenceKind):
    """An array (`DataArray<T>` of objects, `Array<std::string>`), created on first read."""

    is_array = True

    def __init__(self, cpp, element=None):
        super().__init__(cpp)
        self.element = element

    def member_declaration(self, member):
        return "mutable %s %s;" % (self.storage, member)

    def get_case(self):
        return ["*static_cast<Kestrum::Ref<Lumo::Any>*>(dest) = const_cast<%s*>(self->GetPtr$Property$());" % self.cpp]

    def unbox_result(self, return_type):
        return "result = Lumo::Binding::ArrayResult<%s>(value);" % self.cpp

    def print_accessor_declarations(self, p):
        p.print(
            """/// The array, made empty on first read: never null.
$type$* Get$Property$();
/// The array, read-only, made empty on first read: never null.
const $type$* Get$Property$() const;
/// The array as held: null when none was set or read.
$type$* GetPtr$Property$();
/// The array as held, read-only: null when none was set or read.
const $type$* GetPtr$Property$() const;
/// Whether the array holds an element.
bool IsSet$Property$() const;
/// The array when it holds an element; null otherwise.
const $type$* Peek$Property$() const;
/// Sets the array, taking a reference of its own; null unsets it.
void Set$Property$($type$* value);
/// Exchanges the array with the one *value (not null) holds.
void Swap$Property$(Kestrum::Ref<$type$>* const value);""", type=self.cpp)

    def print_inline_accessors(self, p):
        p.print(
            """inline $type$* $class_name$::Get$Property$() { return Lumo::Binding::GetOrCreateArray($member$); }
inline const $type$* $class_name$::Get$Property$() const { return Lumo::Binding::GetOrCreateArray($member$); }
inline $type$* $class_name$::GetPtr$Property$() { return $member$.Get(); }
inline const $type$* $class_name$::GetPtr$Property$() const { return $member$.Get(); }
inline bool $class_name$::IsSet$Property$() const { return $member$ && $member$->_GetLength() > 0; }
inline const $type$* $class_name$::Peek$Property$() const { return IsSet$Property$() ? $member$.Get() : nullptr; }
inline void $class_name$::Set$Property$($type$* value) { $member$ = value; }
inline void $class_name$::Swap$Property$(Kestrum::Ref<$type$>* const value) {
  $check$
  $member$.Swap(*value);
}""", type=self.cpp)


def value_kind(primitive, cpp, optional):
    """The kind of a value-typed primitive, required or optional."""
    if optional:
        if primitive == "string":
            return OptionalStringKind()
        if primitive == "boolean":
            return OptionalBoolKind()
        return OptionalKind(primitive, cpp)
    if primitive == "string":
        return StringValueKind()
    if primitive == "boolean":
        return BoolValueKind()
    if primitive == "dateTime":
        return DateTimeValueKind(cpp)
    return ValueKind(primitive, cpp)
