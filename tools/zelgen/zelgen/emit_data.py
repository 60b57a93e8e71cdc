"""Data object classes (and the data-object half of fault classes): members,
accessors, virtual operations and description records.

The declaration header gets the class with the value-typed accessors defined
inline; the full header gets the inline definitions of the reference-held
accessors (they need the referenced classes); the package's classes unit gets
the constructors and the virtual operations; the description unit gets the
type's records and its record accessor functions. What depends on a
property's kind comes from the kind (`kinds.py`).
"""

from . import doc_comments, names
from .emit_faults import FaultEmitter


class DataObjectEmitter:
    def __init__(self, binding):
        self.b = binding
        self.faults = FaultEmitter(binding)

    def property_variables(self, decl, prop, index, full):
        """The printer variables a kind's accessor templates read."""
        kind = self.b.kind(prop.type)
        return dict(Property=names.cap(prop.name), member=names.member(prop.name), index=index,
                    getter=self.b.getter(prop), class_name=self.b.cpp_class(decl),
                    check='KESTRUM_ASSERT_AT(value != nullptr, "%s", __LINE__);' % self.b.assert_path(decl, full))

    def _extends_own_data(self, decl):
        """Whether the operations chain to a generated base (DynamicData has no properties)."""
        return decl.base_decl is not None and decl.base != "olyx.DynamicData"

    # ------------------------------------------------------------------
    # Declaration header: the class body.
    # ------------------------------------------------------------------
    def class_head(self, decl, head_name):
        return "class %s : public %s" % (head_name, self.b.base_class(decl))

    def print_class_body(self, p, decl):
        """Prints the body of the class (between the braces)."""
        is_fault = decl.kind == "fault"
        with p.variables(short=self.b.class_short_name(decl)):
            p.print(" public:")
            with p.indented():
                if is_fault:
                    self.faults.print_exception_class(p, decl)
                p.print("""/// An object whose required values are zero or empty, and whose other
/// properties are unset. Hold it in a Kestrum::Ref (Kestrum::MakeRef).
$short$();
/// Runs when the last Kestrum::Ref lets go.
~$short$() override;

/// The object's type: this class's record.
Lumo::Type* _GetType() const override;
/// A deep copy, with no reference yet: hold it in a Kestrum::Ref.
$short$* _Clone() const override;
/// Whether other, an object of this class, holds equal values; with looseMatch,
/// an optional property that other leaves unset matches whatever this one holds.
bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;""")
                if not is_fault:
                    p.print("""/// Adds to diffs the path (prefix, a dot, the name) of every property whose
/// value differs in other, an object of this class.
void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                     Lumo::PropertyDiffSet& diffs) const override;""")
                p.print("""/// The same type as _GetType(), as a data object type.
Lumo::DataObjectType* _GetDataType() const override;""")
                if is_fault:
                    p.print("""/// A new exception of this fault's class that holds this fault; the caller owns it.
Exception* CreateException() override;""")
                for index, prop in enumerate(decl.props):
                    p.blank()
                    for line in doc_comments.property_group_head(prop):
                        p.print(line)
                    p.blank()
                    with p.variables(**self.property_variables(decl, prop, index, full=False)):
                        self.b.kind(prop.type).print_accessor_declarations(p)
                    p.print(doc_comments.GROUP_END)
            p.blank()
            p.print(" protected:")
            with p.indented():
                p.print("""/// A deep copy of other (see _Clone()).
$short$(const $short$& other);""")
                if is_fault:
                    p.print("""/// Throws an exception of this fault's class that holds this fault.
[[noreturn]] void ThrowInternal() override;""")
                if decl.props:
                    p.blank()
                    for prop in decl.props:
                        p.print("$declaration$  ///< Property $name$.",
                                declaration=self.b.kind(prop.type).member_declaration(names.member(prop.name)),
                                name=prop.name)

    # ------------------------------------------------------------------
    # Full header: inline definitions of the reference-held accessors.
    # ------------------------------------------------------------------
    def print_inline_accessors(self, p, decl):
        for index, prop in enumerate(decl.props):
            kind = self.b.kind(prop.type)
            if not kind.reference_held:
                continue
            p.blank()
            with p.variables(**self.property_variables(decl, prop, index, full=True)):
                p.print("$inline$", inline=lambda: kind.print_inline_accessors(p))

    # ------------------------------------------------------------------
    # Classes unit: constructors and virtual operations.
    # ------------------------------------------------------------------
    def print_members(self, p, decl):
        base = self.b.base_class(decl)
        initializers = ["%s(other)" % base] + [
            self.b.kind(prop.type).copy_initializer(names.member(prop.name)) for prop in decl.props]
        with p.variables(class_name=self.b.cpp_class(decl), short=self.b.class_short_name(decl), base=base):
            p.print("""$class_name$::$short$() = default;

$class_name$::$short$(const $short$& other)
    : $initializers$ {}

$class_name$::~$short$() = default;

Lumo::Type* $class_name$::_GetType() const { return Lumo::GetDoType<$class_name$>(); }

Lumo::DataObjectType* $class_name$::_GetDataType() const { return Lumo::GetDoType<$class_name$>(); }

$class_name$* $class_name$::_Clone() const { return new $short$(*this); }""",
                    initializers=",\n      ".join(initializers))
            p.blank()
            self._print_is_equal(p, decl)
            if decl.kind == "fault":
                p.blank()
                self.faults.print_fault_members(p)
            else:
                p.blank()
                self._print_diff(p, decl)

    def _print_is_equal(self, p, decl):
        chained = self._extends_own_data(decl)
        if not decl.props:
            if chained:
                p.print("""bool $class_name$::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  return $base$::_IsEqual(other, looseMatch);
}""")
            else:
                p.print("""bool $class_name$::_IsEqual(const Lumo::Any*, bool) const {
  return true;
}""")
            return
        lines = [self.b.kind(prop.type).equality_line(names.member(prop.name), prop.flags) for prop in decl.props]
        uses_loose = chained or any(self.b.kind(prop.type).uses_loose_match for prop in decl.props)
        p.print("bool $class_name$::_IsEqual(const Lumo::Any* other, bool looseMatch) const {")
        with p.indented():
            if chained:
                p.print("if (!$base$::_IsEqual(other, looseMatch)) return false;")
            p.print("const auto* that = static_cast<const $class_name$*>(other);")
            for line in lines:
                p.print(line)
            if not uses_loose:
                p.print("(void)looseMatch;")
            p.print("return true;")
        p.print("}")

    def _print_diff(self, p, decl):
        chained = self._extends_own_data(decl)
        if not decl.props:
            if chained:
                p.print("""void $class_name$::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                          Lumo::PropertyDiffSet& diffs) const {
  $base$::_DiffProperties(other, prefix, diffs);
}""")
            else:
                p.print("""void $class_name$::_DiffProperties(const Lumo::Any*, const std::string&,
                          Lumo::PropertyDiffSet&) const {
}""")
            return
        p.print("""void $class_name$::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                          Lumo::PropertyDiffSet& diffs) const {""")
        with p.indented():
            if chained:
                p.print("$base$::_DiffProperties(other, prefix, diffs);")
            p.print("const auto* that = static_cast<const $class_name$*>(other);")
            for prop in decl.props:
                p.print(self.b.kind(prop.type).diff_line(names.member(prop.name), names.c_string("." + prop.name),
                                                         prop.flags))
        p.print("}")

    # ------------------------------------------------------------------
    # Description unit: the type's records and record accessor functions.
    # ------------------------------------------------------------------
    def print_records(self, p, decl, records):
        symbol = names.joined(decl.name)
        with p.variables(symbol=symbol, class_name=self.b.cpp_class(decl)):
            props = records.print_property_list(p, decl, symbol)
            functions = dict(get="nullptr", peek="nullptr", set="nullptr", swap="nullptr",
                             isset="&%s::Detail::AlwaysSet" % self.b.lib.namespace, unset="nullptr")
            if decl.props:
                p.blank()
                functions.update(self._print_accessor_functions(p, decl, symbol))
            p.blank()
            p.print("""Lumo::Any* $symbol$_createInstance() { return new $class_name$(); }
Lumo::Any* $symbol$_createArray() { return new Lumo::DataArray<$class_name$>(); }""")
            p.blank()
            parent, const = records.parent_pointer(decl, "k%sData" % symbol)
            p.print("""$const$Lumo::DataTypeInfo k$symbol$Data = {
    &$record$, $parent$, $props$,
    $get$, $peek$, $set$, $swap$,
    $isset$, $unset$, &$symbol$_createInstance, &$symbol$_createArray};""",
                    const=const, record=names.record_symbol(decl.name), parent=parent, props=props, **functions)

    def _print_switch(self, p, signature, self_line, cases, fallback):
        """One record accessor function: a switch over the property index."""

        def print_cases():
            for index, prop, body in cases:
                with p.variables(Property=names.cap(prop.name),
                                 getter=self.b.getter(prop)):
                    p.print("case $index$:", index=index)
                    with p.indented():
                        for line in body:
                            p.print(line)

        p.print(signature + " {\n  " + self_line + "\n  switch (index) {\n  $cases$\n  }\n  " + fallback + "\n}",
                cases=print_cases)

    def _print_accessor_functions(self, p, decl, symbol):
        kinds = [(index, prop, self.b.kind(prop.type)) for index, prop in enumerate(decl.props)]
        const_self = "const auto* self = static_cast<const $class_name$*>(object);"
        mutable_self = "auto* self = static_cast<$class_name$*>(object);"
        not_reached = "KESTRUM_NOT_REACHED_AT(kUnit, __LINE__);"
        self._print_switch(p, "void $symbol$_getProperty(const Lumo::Any* object, int index, void* dest)",
                           const_self, [(i, prop, kind.get_case() + ["return;"]) for i, prop, kind in kinds],
                           not_reached)
        p.blank()
        self._print_switch(p, "const void* $symbol$_peekProperty(const Lumo::Any* object, int index)", const_self,
                           [(i, prop, ["return self->Peek$Property$();"]) for i, prop, _ in kinds], not_reached)
        p.blank()
        self._print_switch(p, "void $symbol$_setProperty(Lumo::Any* object, int index, const void* value)",
                           mutable_self, [(i, prop, kind.set_case() + ["return;"]) for i, prop, kind in kinds],
                           not_reached)
        p.blank()
        self._print_switch(p, "void $symbol$_swapProperty(Lumo::Any* object, int index, void* value)",
                           mutable_self, [(i, prop, kind.swap_case() + ["return;"]) for i, prop, kind in kinds],
                           not_reached)
        functions = dict(get="&%s_getProperty" % symbol, peek="&%s_peekProperty" % symbol,
                         set="&%s_setProperty" % symbol, swap="&%s_swapProperty" % symbol)
        # isPropertySet: the shared always-true function unless a property can be absent.
        can_be_absent = [(i, prop, ["return self->Peek$Property$() != nullptr;"])
                         for i, prop, kind in kinds if kind.can_be_absent]
        if can_be_absent:
            p.blank()
            self._print_switch(p, "bool $symbol$_isPropertySet(const Lumo::Any* object, int index)", const_self,
                               can_be_absent, "return true;")
            functions["isset"] = "&%s_isPropertySet" % symbol
        optional = [(i, prop, kind.unset_case() + ["return;"]) for i, prop, kind in kinds if prop.type.optional]
        if optional:
            p.blank()
            self._print_switch(p, "void $symbol$_unsetProperty(Lumo::Any* object, int index)", mutable_self,
                               optional, not_reached)
            functions["unset"] = "&%s_unsetProperty" % symbol
        return functions
