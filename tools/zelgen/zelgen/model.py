"""The schema model: what the parser reads out of the .zel files.

Every name is the full wire name (`zel.profile.Profile`); every version is the
full version name (`zel.version.version11`). Objects keep the schema file and
line they were declared on, so later stages can point at the source.

The parser (`zelgen.parser.load_library`) fills the model, links it (owners,
packages, enclosing and base declarations) and validates it.
"""

from dataclasses import dataclass, field
from typing import Dict, List, NamedTuple, Optional, Tuple

# Primitive types of the runtime, as written in the schema.
PRIMITIVES = ("string", "boolean", "int", "long", "double", "dateTime", "anyType", "typeName")

# The runtime's type record of each primitive.
PRIMITIVE_RECORDS = {
    "string": "gStringTypeInfo",
    "boolean": "gBoolTypeInfo",
    "int": "gIntTypeInfo",
    "long": "gLongTypeInfo",
    "double": "gDoubleTypeInfo",
    "dateTime": "gDateTimeTypeInfo",
    "anyType": "gAnyTypeInfo",
    "typeName": "gTypeNameTypeInfo",
}

FLAG_ARRAY = 1
FLAG_OPTIONAL = 2

KINDS = ("data", "fault", "enum", "managed")

# The kind field of a type record.
KIND_CODES = {"enum": 15, "data": 16, "fault": 17, "managed": 18}

# The base version of the runtime's namespace: the version of a result that is
# absent or of a runtime type.
RUNTIME_BASE_VERSION = "olyx.version.version0"


@dataclass
class TypeRef:
    """A type as a property, parameter or result names it."""

    name: str
    array: bool = False
    optional: bool = False
    moref: bool = False  # a reference to a managed object of type `name`

    @property
    def flags(self) -> int:
        return (FLAG_ARRAY if self.array else 0) | (FLAG_OPTIONAL if self.optional else 0)

    @property
    def is_primitive(self) -> bool:
        return self.name in PRIMITIVES

    def __str__(self) -> str:
        text = self.name + ("[]" if self.array else "") + ("?" if self.optional else "")
        return ("moref " + text) if self.moref else text


@dataclass
class Property:
    name: str
    type: TypeRef
    since: str
    annotation: Optional[str] = None
    privilege: Optional[str] = None
    extra_flags: int = 0
    # The getter a hand-written class names otherwise than the kind's rule.
    getter: Optional[str] = None
    file: str = ""
    line: int = 0
    owner: Optional["TypeDecl"] = field(default=None, repr=False, compare=False)

    @property
    def flags(self) -> int:
        return self.type.flags | self.extra_flags


@dataclass
class Param:
    name: str
    type: TypeRef
    since: str
    file: str = ""
    line: int = 0
    owner: Optional["Method"] = field(default=None, repr=False, compare=False)

    @property
    def flags(self) -> int:
        return self.type.flags


@dataclass
class Method:
    name: str
    wsdl: str
    privilege: str
    since: str
    flags: int
    params: List[Param] = field(default_factory=list)
    result: Optional[TypeRef] = None  # None: the method returns nothing
    faults: List[str] = field(default_factory=list)
    file: str = ""
    line: int = 0
    owner: Optional["TypeDecl"] = field(default=None, repr=False, compare=False)
    # Lines of the `returns` and `faults` statements (0: none, or the method's line).
    result_line: int = field(default=0, repr=False, compare=False)
    faults_line: int = field(default=0, repr=False, compare=False)

    @property
    def qualified_name(self) -> str:
        """`zel.ServiceInstance.retrieveContent`."""
        return "%s.%s" % (self.owner.name, self.name) if self.owner else self.name


@dataclass
class Version:
    name: str
    id: str
    namespace: str
    task_type: str
    second_namespace: str
    flags: int
    file: str = ""
    line: int = 0

    @property
    def short(self) -> str:
        """`zel.version.version11` -> `version11`."""
        return self.name.rsplit(".", 1)[-1]


@dataclass
class TypeDecl:
    kind: str  # 'data' | 'fault' | 'enum' | 'managed'
    name: str
    wsdl: Optional[str]
    since: Optional[str]
    base: Optional[str] = None
    props: List[Property] = field(default_factory=list)
    values: List[str] = field(default_factory=list)
    methods: List[Method] = field(default_factory=list)
    # The Package object once linked; None for external types.
    package: Optional["Package"] = field(default=None, repr=False, compare=False)
    file: str = ""
    line: int = 0
    external: bool = False
    # External types, and own types whose class is written by hand (only
    # their records are generated): the class and its header. With
    # `class_generated`, an own type whose class the generator writes under
    # that name, its full header at that path (the declaration header beside
    # it, `-decl.h`).
    cpp_class: Optional[str] = None
    record: Optional[str] = None  # external types only
    header: Optional[str] = None
    class_generated: bool = False
    # Resolved by linking: the type this one is nested in, the types nested in
    # this one (declaration order), and the declaration of the base.
    enclosing: Optional["TypeDecl"] = field(default=None, repr=False, compare=False)
    nested: List["TypeDecl"] = field(default_factory=list, repr=False, compare=False)
    base_decl: Optional["TypeDecl"] = field(default=None, repr=False, compare=False)

    @property
    def short_name(self) -> str:
        return self.name.rsplit(".", 1)[-1]

    @property
    def is_data_like(self) -> bool:
        """Data objects and faults: the kinds with a data type record."""
        return self.kind in ("data", "fault")

    @property
    def kind_code(self) -> int:
        return KIND_CODES[self.kind]

    @property
    def package_name(self) -> Optional[str]:
        return self.package.name if self.package is not None else None


@dataclass
class Package:
    name: str
    unit: str
    types: List[TypeDecl] = field(default_factory=list)  # file order
    file: str = ""
    line: int = 0
    unit_line: int = field(default=0, repr=False, compare=False)

    def data_types(self) -> List[TypeDecl]:
        """Data objects and faults, in slot order."""
        return [t for t in self.types if t.kind in ("data", "fault")]

    def enums(self) -> List[TypeDecl]:
        return [t for t in self.types if t.kind == "enum"]

    def managed(self) -> List[TypeDecl]:
        return [t for t in self.types if t.kind == "managed"]

    def slot_order(self) -> List[TypeDecl]:
        """The package's type array: data objects and faults, enumerations, managed objects."""
        return self.data_types() + self.enums() + self.managed()


class Relation(NamedTuple):
    """A parent relation of the version registry: a plain (version, parent) tuple."""

    version: str
    parent: str


@dataclass
class ExternalStore:
    """One record field that points at a type record of another library."""

    owner: TypeDecl  # the type whose records hold the field
    what: str  # 'parent' | 'property' | 'param' | 'result' | 'fault'
    where: str  # `zel.AboutInfo.name`, `zel.ServiceInstance.retrieveContent`, ...
    target: str  # the type named: a primitive, `olyx.` or `hox.` type

    @property
    def record(self) -> str:
        return PRIMITIVE_RECORDS.get(self.target, "")


@dataclass
class Library:
    name: str = ""
    namespace: str = ""
    unit_root: str = ""
    dependencies: List[str] = field(default_factory=list)
    versions: List[Version] = field(default_factory=list)
    designated: List[str] = field(default_factory=list)
    relations: List[Relation] = field(default_factory=list)
    external_versions: List[str] = field(default_factory=list)
    packages: List[Package] = field(default_factory=list)  # registration order
    externals: Dict[str, TypeDecl] = field(default_factory=dict)
    types: Dict[str, TypeDecl] = field(default_factory=dict)  # own types, package order
    file: str = ""
    # The runtime's own library: its records live beside the runtime's other
    # records (no stores at load), its types are created by the runtime itself
    # (no loader), and it has no version registry of its own.
    runtime: bool = False
    # A library of the runtime's layer (lumo-wire), the name its loader
    # registers under: like the runtime's own it has no version registry and
    # its types are of the runtime's namespace; its types are created on first
    # use (before the runtime starts too) and handed to the runtime by its
    # loader.
    runtime_layer: Optional[str] = None
    # Source lines of the library-level statements, for messages: keyed by
    # keyword ('library', 'packages', ...), 'relation:<i>', 'external-version:<name>'.
    lines: Dict[str, int] = field(default_factory=dict, repr=False, compare=False)

    @property
    def loader_name(self) -> str:
        """The name the library's loader registers under."""
        return self.runtime_layer if self.runtime_layer is not None else self.name

    @property
    def of_runtime_namespace(self) -> bool:
        """The runtime's library and those of its layer: types of the
        runtime's own namespace, no version registry of their own."""
        return self.runtime or self.runtime_layer is not None

    # ---- lookups -------------------------------------------------------
    def lookup(self, name: str) -> Optional[TypeDecl]:
        """An own or external type by wire name; None for primitives and unknown names."""
        decl = self.types.get(name)
        return decl if decl is not None else self.externals.get(name)

    def package(self, name: str) -> Optional[Package]:
        for pkg in self.packages:
            if pkg.name == name:
                return pkg
        return None

    def version(self, name: str) -> Optional[Version]:
        for v in self.versions:
            if v.name == name:
                return v
        return None

    @property
    def version_names(self) -> List[str]:
        return [v.name for v in self.versions]

    def version_rank(self, name: str) -> int:
        """Position in the registry; -1 for a version of another namespace."""
        names = self.version_names
        return names.index(name) if name in names else -1

    def package_of_name(self, wire_name: str) -> Optional[str]:
        """The package a wire name belongs to: the longest listed package prefix."""
        best = None
        for pkg in self.packages:
            if wire_name.startswith(pkg.name + ".") and (best is None or len(pkg.name) > len(best)):
                best = pkg.name
        return best

    def is_external_ref(self, name: str) -> bool:
        """True for a type whose record lives in another library."""
        return name in PRIMITIVES or name in self.externals

    # ---- iteration and totals -------------------------------------------
    def all_types(self) -> List[TypeDecl]:
        return [t for pkg in self.packages for t in pkg.types]

    def methods(self) -> List[Method]:
        return [m for t in self.all_types() for m in t.methods]

    @property
    def method_count(self) -> int:
        return len(self.methods())

    def count_kinds(self) -> Dict[str, int]:
        counts = {k: 0 for k in KINDS}
        for t in self.all_types():
            counts[t.kind] += 1
        return counts

    def result_version(self, method: Method) -> str:
        """The version a method's result record names: the result type's own
        version, or the runtime's base version for no result or a runtime type."""
        if method.result is None or method.result.is_primitive:
            return RUNTIME_BASE_VERSION
        decl = self.lookup(method.result.name)
        if decl is None or decl.external or not decl.since:
            return RUNTIME_BASE_VERSION
        return decl.since

    def external_stores(self) -> List[ExternalStore]:
        """Every record field that is completed at load time with the address of
        another library's type record, in package and declaration order."""
        out = []
        for t in self.all_types():
            if t.base and t.base in self.externals:
                out.append(ExternalStore(t, "parent", t.name, t.base))
            for p in t.props:
                if self.is_external_ref(p.type.name):
                    out.append(ExternalStore(t, "property", "%s.%s" % (t.name, p.name), p.type.name))
            for m in t.methods:
                where = "%s.%s" % (t.name, m.name)
                for a in m.params:
                    if self.is_external_ref(a.type.name):
                        out.append(ExternalStore(t, "param", "%s(%s)" % (where, a.name), a.type.name))
                if m.result is not None and self.is_external_ref(m.result.name):
                    out.append(ExternalStore(t, "result", where, m.result.name))
                for f in m.faults:
                    if f in self.externals:
                        out.append(ExternalStore(t, "fault", where, f))
        return out

    def version_introductions(self) -> Dict[str, Dict[str, int]]:
        """Per version, what it introduces: types, and the properties, methods
        and parameters whose version differs from their owner's."""
        out: Dict[str, Dict[str, int]] = {}

        def bump(version, what):
            entry = out.setdefault(version, {"types": 0, "properties": 0, "methods": 0, "params": 0})
            entry[what] += 1

        for t in self.all_types():
            bump(t.since, "types")
            for p in t.props:
                if p.since != t.since:
                    bump(p.since, "properties")
            for m in t.methods:
                if m.since != t.since:
                    bump(m.since, "methods")
                for a in m.params:
                    if a.since != m.since:
                        bump(a.since, "params")
        return out

    def summary(self) -> List[Tuple[str, str]]:
        """(label, value) lines with the library's totals."""
        kinds = self.count_kinds()
        methods = self.methods()
        privileges: Dict[str, int] = {}
        for m in methods:
            privileges[m.privilege] = privileges.get(m.privilege, 0) + 1
        lines = [
            ("library", "%s (namespace %s)" % (self.name, self.namespace)),
            ("packages", str(len(self.packages))),
            ("types", "%d (%d data objects, %d faults, %d enumerations, %d managed objects)"
             % (sum(kinds.values()), kinds["data"], kinds["fault"], kinds["enum"], kinds["managed"])),
            ("methods", "%d (%s)" % (len(methods), ", ".join(
                "%d %s" % (n, p) for p, n in sorted(privileges.items(), key=lambda i: (-i[1], i[0]))))),
            ("methods without result", str(sum(1 for m in methods if m.result is None))),
            ("external record stores", str(len(self.external_stores()))),
            ("versions", str(len(self.versions))),
        ]
        for pkg in self.packages:
            lines.append(("package " + pkg.name, "%d data objects and faults, %d enumerations, %d managed objects"
                          % (len(pkg.data_types()), len(pkg.enums()), len(pkg.managed()))))
        intro = self.version_introductions()
        for v in self.version_names + [n for n in intro if n not in self.version_names]:
            if v in intro:
                e = intro[v]
                lines.append(("since " + v, "%d types, %d properties, %d methods, %d parameters"
                              % (e["types"], e["properties"], e["methods"], e["params"])))
        return lines

    # ---- linking ---------------------------------------------------------
    def link(self) -> None:
        """Fill the back references: owners, packages, enclosing, nested, base
        declarations. Unknown names are left unresolved (validation reports them)."""
        for pkg in self.packages:
            for t in pkg.types:
                t.package = pkg
                t.nested = []
        for t in self.all_types():
            t.enclosing = None
            if "." in t.name:
                outer = self.types.get(t.name.rsplit(".", 1)[0])
                if outer is not None and outer.package is t.package:
                    t.enclosing = outer
                    outer.nested.append(t)
            t.base_decl = self.lookup(t.base) if t.base else None
            for p in t.props:
                p.owner = t
            for m in t.methods:
                m.owner = t
                for a in m.params:
                    a.owner = m
