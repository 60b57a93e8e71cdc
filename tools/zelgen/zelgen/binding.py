"""How schema elements map onto C++: property kinds, value types, classes and headers.

Every emitter asks this module rather than the raw schema, so the rules that
decide a property's storage, accessors and wire representation are written once.
"""

from . import kinds, names
from .model import PRIMITIVE_RECORDS

# Plain C++ value type of the value-typed primitives.
VALUE_TYPES = {
    "string": "std::string",
    "boolean": "bool",
    "int": "int32_t",
    "long": "int64_t",
    "double": "double",
    "dateTime": "Kestrum::System::DateTime",
    "typeName": "Lumo::TypeName",
}


class BindingError(Exception):
    pass


class Binding:
    """Answers C++ questions about the types of one loaded schema library.

    `header_prefix` is the folder above the package header folders (`Olyx`
    gives `Olyx/Zel/Profile/...`; empty puts the packages at the top).
    """

    def __init__(self, library, header_prefix="Olyx"):
        self.lib = library
        self.header_prefix = header_prefix
        # The description units and headers live below the library's unit root.
        self.tree_root = library.unit_root.replace("\\", "/")

    # ----- type look-up -------------------------------------------------
    def decl(self, wire_name):
        decl = self.lib.lookup(wire_name)
        if decl is None:
            raise BindingError("unknown type %s" % wire_name)
        return decl

    def is_own(self, decl):
        return not getattr(decl, "external", False)

    def writes_class(self, decl):
        """Whether the generator writes the class of `decl` (an own type whose
        class is not written by hand)."""
        return self.is_own(decl) and (not decl.cpp_class or decl.class_generated)

    def cpp_class(self, decl_or_name):
        decl = self.decl(decl_or_name) if isinstance(decl_or_name, str) else decl_or_name
        if decl.cpp_class:
            return decl.cpp_class
        return self.qualified(decl.name)

    def class_short_name(self, decl):
        """The unqualified name of a class the generator writes: the wire
        name's last component, or the last of the name the schema gives."""
        if decl.class_generated:
            return decl.cpp_class.rsplit("::", 1)[1]
        return decl.short_name

    def _scope_names(self, wire_name):
        """The C++ names of a wire name's components: the library's own first
        component is the library's namespace (`olyx` is `Lumo` in the runtime's
        library), the others capitalised."""
        parts = [names.cap(c) for c in names.components(wire_name)]
        if names.components(wire_name)[0] == self.lib.name:
            parts[0] = self.lib.namespace
        return parts

    def qualified(self, wire_name):
        """`zel.profile.CapabilityBasedProfile` -> `Zel::Profile::CapabilityBasedProfile`."""
        return "::".join(self._scope_names(wire_name))

    def package_namespace(self, package_name):
        return self.qualified(package_name)

    def record(self, type_name, moref=False):
        """The record symbol a PropInfo/ParamInfo names for a type reference."""
        if type_name in PRIMITIVE_RECORDS:
            return PRIMITIVE_RECORDS[type_name]
        decl = self.decl(type_name)
        return decl.record if not self.is_own(decl) else names.record_symbol(decl.name)

    def is_external_record(self, type_name):
        if type_name in PRIMITIVE_RECORDS:
            return True
        return not self.is_own(self.decl(type_name))

    def completed_at_load(self, type_name):
        """Whether a record field naming `type_name` holds null until the package
        registers: records of other libraries. The runtime's own library holds
        every record it names."""
        return self.is_external_record(type_name) and not self.lib.runtime

    @property
    def record_const(self):
        """`const ` before an exported type record; the runtime's records are
        declared writable (`Lumo/RuntimeTypeInfos.h`)."""
        return "" if self.lib.runtime else "const "

    # ----- nesting and headers ------------------------------------------
    def top_level(self, decl):
        """The outermost type whose headers hold `decl`."""
        while decl.enclosing is not None:
            decl = decl.enclosing
        return decl

    def package_of(self, decl):
        return decl.package.name

    def header_base(self, decl):
        top = self.top_level(decl)
        if top.class_generated:
            return top.header[:-len(".h")]
        return "%s/%s" % (self.header_dir(self.package_of(top)), top.short_name)

    def header_dir(self, package_name):
        """`zel.profile.provider` -> `Olyx/Zel/Profile/Provider`."""
        path = "/".join(self._scope_names(package_name))
        return self.header_prefix + "/" + path if self.header_prefix else path

    def decl_header(self, decl):
        if decl.header and not decl.class_generated:
            return decl.header
        return self.header_base(decl) + "-decl.h"

    def full_header(self, decl):
        if decl.header:
            return decl.header
        return self.header_base(decl) + ".h"

    def assert_path(self, decl, full):
        """The path an accessor's assertion names (slashes, no extension)."""
        suffix = "" if full else "-decl"
        return "%s/%s%s" % (self.tree_root, self.header_base(decl), suffix)

    # ----- property kinds -----------------------------------------------
    def kind(self, ref):
        """The kind (`kinds.py`) of a TypeRef: a property, parameter or result."""
        if ref.moref:
            if ref.array:
                raise BindingError("arrays of managed object references are not supported")
            return kinds.MoRefKind()
        if ref.name == "string" and ref.array:
            return kinds.ArrayKind("Lumo::Array<std::string>")
        if ref.name in VALUE_TYPES:
            if ref.array:
                raise BindingError("arrays of %s are not supported" % ref.name)
            return kinds.value_kind(ref.name, VALUE_TYPES[ref.name], ref.optional)
        if ref.name == "anyType":
            held = "Lumo::Any"
        else:
            decl = self.decl(ref.name)
            if decl.kind not in ("data", "fault"):
                raise BindingError("%s of kind %s cannot be held by value" % (ref.name, decl.kind))
            held = self.cpp_class(decl)
        if ref.array:
            return kinds.ArrayKind("Lumo::DataArray<%s>" % held, element=held)
        return kinds.ObjectKind(held)

    def getter(self, prop):
        """The getter of a property: the kind's rule, or the name the schema gives."""
        return prop.getter or self.kind(prop.type).getter(names.cap(prop.name))

    def held_decl(self, ref):
        """The schema type a reference-held value names (None for primitives/anyType)."""
        if ref.moref or ref.name in PRIMITIVE_RECORDS:
            return None
        return self.decl(ref.name)

    # ----- hierarchy ------------------------------------------------------
    def base_decl(self, decl):
        return self.decl(decl.base) if decl.base else None

    def base_class(self, decl):
        return self.cpp_class(self.base_decl(decl))

    def base_is_own(self, decl):
        base = self.base_decl(decl)
        return base is not None and self.is_own(base)

    def all_props(self, decl):
        """Inherited properties first (root downwards), then the type's own."""
        chain = []
        # A hand-written base class keeps its properties to itself.
        while decl is not None and self.writes_class(decl):
            chain.append(decl)
            decl = self.base_decl(decl)
        props = []
        for d in reversed(chain):
            props.extend(d.props)
        return props

    def root_fault(self, decl):
        while self.base_is_own(decl):
            decl = self.base_decl(decl)
        return decl

    def top_level_types(self, package):
        """The package's types that are not nested in another, in package order."""
        return [t for t in package.types if t.enclosing is None]

    def nested_types(self, decl):
        """Own types nested directly in `decl`, in package (slot) order."""
        return [t for t in decl.package.types if t.enclosing is decl]

    def scope_of(self, decl):
        """C++ scope that declares `decl`: its enclosing class, its package
        namespace, or the namespace of the class name the schema gives."""
        if decl.enclosing is not None:
            return self.cpp_class(decl.enclosing)
        if decl.class_generated:
            return decl.cpp_class.rsplit("::", 1)[0]
        return self.package_namespace(self.package_of(decl))
