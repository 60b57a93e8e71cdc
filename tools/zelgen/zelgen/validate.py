"""Consistency checks of a parsed schema.

    validate(library)

raises SchemaError for the first problem found (in file order); the error's
`errors` attribute lists every problem found. The text of an error is
"<file>:<line>: <message>".
"""

from typing import List


class SchemaError(Exception):
    """A problem in a schema file, at a line."""

    def __init__(self, file, line, message):
        self.file = file
        self.line = line
        self.message = message
        self.errors: List["SchemaError"] = [self]
        super().__init__("%s:%s: %s" % (file, line, message))

    def __str__(self):
        return "%s:%s: %s" % (self.file, self.line, self.message)


_BASE_KIND = {"data": "data", "fault": "fault", "managed": "managed"}
_KIND_WORDS = {"data": "data object", "fault": "fault", "enum": "enumeration", "managed": "managed object"}


class _Checker:
    def __init__(self, lib):
        self.lib = lib
        self.errors: List[SchemaError] = []
        self.wsdl_names = {}

    def error(self, file, line, message):
        self.errors.append(SchemaError(file, line, message))

    # ---- helpers ---------------------------------------------------------
    def known_version(self, name) -> bool:
        return name in self.lib.version_names or name in self.lib.external_versions

    def check_version(self, file, line, name, what):
        if not self.known_version(name):
            self.error(file, line, "unknown version %s of %s (not in the version registry nor an external version)"
                       % (name, what))
            return False
        return True

    def check_not_earlier(self, file, line, since, owner_since, what, owner_what):
        lib = self.lib
        if owner_since in lib.version_names and self.known_version(since):
            if lib.version_rank(since) < lib.version_rank(owner_since):
                self.error(file, line, "%s is of version %s, earlier than its %s (%s)"
                           % (what, since, owner_what, owner_since))

    def check_typeref(self, file, line, tref, what) -> None:
        lib = self.lib
        if tref.is_primitive:
            if tref.moref:
                self.error(file, line, "%s: moref needs a managed object type, not the primitive %s" % (what, tref.name))
            return
        decl = lib.lookup(tref.name)
        if decl is None:
            self.error(file, line, "unknown type %s of %s" % (tref.name, what))
            return
        if tref.moref and decl.kind != "managed":
            self.error(file, line, "%s: moref needs a managed object type, %s is a %s"
                       % (what, tref.name, _KIND_WORDS[decl.kind]))
        if not tref.moref and decl.kind == "managed":
            self.error(file, line, "%s: the managed object type %s is referenced with moref" % (what, tref.name))

    # ---- library.zel -----------------------------------------------------
    def check_library(self):
        lib = self.lib
        f = lib.file
        line = lib.lines
        seen = {}
        for dep in lib.dependencies:
            if dep in seen:
                self.error(f, line.get("dependencies", 0), "dependency %s listed twice" % dep)
            seen[dep] = True
        if lib.name in lib.dependencies:
            self.error(f, line.get("dependencies", 0), "the library %s cannot depend on itself" % lib.name)
        prefix = "%s.version." % lib.name
        seen = {}
        for v in lib.versions:
            if v.name in seen:
                self.error(f, v.line, "duplicate version %s (first on line %d)" % (v.name, seen[v.name]))
                continue
            seen[v.name] = v.line
            if not v.name.startswith(prefix):
                self.error(f, v.line, "version %s is not of the library's namespace (%s...)" % (v.name, prefix))
            for attr, value in (("id", v.id), ("namespace", v.namespace), ("task", v.task_type),
                                ("second-namespace", v.second_namespace)):
                if not value:
                    self.error(f, v.line, "version %s has an empty %s=" % (v.name, attr))
            task = lib.lookup(v.task_type) if v.task_type else None
            if v.task_type and (task is None or task.kind != "managed" or task.external):
                self.error(f, v.line, "task type %s of version %s is not a managed object type of the library"
                           % (v.task_type, v.name))
        if lib.runtime and lib.runtime_layer is not None:
            self.error(f, line.get("runtime-layer", 0),
                       "runtime and runtime-layer exclude each other (the runtime's own library has no loader)")
        if lib.of_runtime_namespace:
            # The runtime's types are of its base versions, listed as external
            # versions of its own namespace; it has no version registry, nor
            # has a library of its layer.
            if lib.versions or lib.designated or lib.relations:
                keyword, what = ("runtime", "the runtime's library") if lib.runtime else (
                    "runtime-layer", "a library of the runtime's layer")
                self.error(f, line.get(keyword, 0), "%s has no version registry" % what)
        elif not lib.versions:
            self.error(f, line.get("library", 0), "the version registry is empty")
        if not lib.of_runtime_namespace and len(lib.designated) != 4:
            self.error(f, line.get("designated", line.get("library", 0)),
                       "designated names four versions, not %d" % len(lib.designated))
        for d in lib.designated:
            if d not in lib.version_names:
                self.error(f, line.get("designated", 0), "designated version %s is not in the version registry" % d)
        deps = tuple("%s.version." % d for d in lib.dependencies + ([lib.name] if lib.of_runtime_namespace else []))
        seen_rel = {}
        for i, (version, parent) in enumerate(lib.relations):
            ln = line.get("relation:%d" % i, 0)
            if version not in lib.version_names:
                self.error(f, ln, "relation of %s, which is not in the version registry" % version)
            if parent not in lib.version_names and not parent.startswith(deps):
                self.error(f, ln, "parent %s is neither in the version registry nor a version of a dependency" % parent)
            if parent == version:
                self.error(f, ln, "version %s cannot be its own parent" % version)
            if (version, parent) in seen_rel:
                self.error(f, ln, "relation %s %s given twice (first on line %d)"
                           % (version, parent, seen_rel[(version, parent)]))
            seen_rel.setdefault((version, parent), ln)
        seen = set()
        for ev in lib.external_versions:
            ln = line.get("external-version:" + ev, 0)
            if ev in seen:
                self.error(f, ln, "external version %s listed twice" % ev)
            seen.add(ev)
            if ev in lib.version_names:
                self.error(f, ln, "external version %s is in the version registry" % ev)
            elif not ev.startswith(deps):
                self.error(f, ln, "external version %s is not a version of a dependency (%s)"
                           % (ev, ", ".join(lib.dependencies)))
        # The runtime's library names its own hand-written roots as external
        # types; a library of its layer names the runtime's types so.
        namespaces = lib.dependencies + ([lib.name] if lib.of_runtime_namespace else [])
        for ext in lib.externals.values():
            if ext.name.split(".", 1)[0] not in namespaces:
                self.error(ext.file, ext.line, "external type %s is not of a dependency namespace (%s)"
                           % (ext.name, ", ".join(lib.dependencies)))

    # ---- package files -------------------------------------------------
    def check_package(self, pkg, declared):
        lib = self.lib
        expected_unit = "\\".join([lib.unit_root] + pkg.name.split(".") + ["typeinfo"])
        if pkg.unit != expected_unit:
            self.error(pkg.file, pkg.unit_line or pkg.line,
                       "unit %s does not match package %s (expected %s)" % (pkg.unit, pkg.name, expected_unit))
        position = {}
        for i, t in enumerate(pkg.types):
            position.setdefault(t.name, i)
        for i, t in enumerate(pkg.types):
            self.check_type(pkg, t, i, position, declared)

    def check_type(self, pkg, t, index, position, declared):
        lib = self.lib
        kind_word = _KIND_WORDS[t.kind]
        # names
        if t.name in declared:
            first = declared[t.name]
            self.error(t.file, t.line, "duplicate type name %s (first declared at %s:%d)" % (t.name, first.file, first.line))
        else:
            declared[t.name] = t
        owner_pkg = lib.package_of_name(t.name)
        if owner_pkg != pkg.name:
            if owner_pkg is None:
                self.error(t.file, t.line, "type %s is not in package %s (its name must start with %s.)"
                           % (t.name, pkg.name, pkg.name))
            else:
                self.error(t.file, t.line, "type %s belongs to package %s, not %s" % (t.name, owner_pkg, pkg.name))
        else:
            rest = t.name[len(pkg.name) + 1:]
            if "." in rest:
                outer_name = t.name.rsplit(".", 1)[0]
                outer = lib.types.get(outer_name)
                if outer is None or outer.package is not pkg or position.get(outer_name) is None:
                    self.error(t.file, t.line, "type %s is nested in %s, which is not a type of package %s"
                               % (t.name, outer_name, pkg.name))
                elif outer.kind == "enum":
                    self.error(t.file, t.line, "type %s is nested in the enumeration %s" % (t.name, outer_name))
        if t.wsdl in self.wsdl_names:
            first = self.wsdl_names[t.wsdl]
            self.error(t.file, t.line, "wsdl name %s of %s is already the wsdl name of %s (%s:%d)"
                       % (t.wsdl, t.name, first.name, first.file, first.line))
        else:
            self.wsdl_names[t.wsdl] = t
        self.check_version(t.file, t.line, t.since, "type %s" % t.name)
        if t.class_generated and (t.enclosing is not None or t.nested):
            self.error(t.file, t.line, "%s names its generated class (generated-class=) and so stands alone: "
                       "no type is nested in it, nor is it nested" % t.name)
        # base
        if t.kind != "enum":
            self.check_base(pkg, t, index, position)
        # members
        seen = {}
        for p in t.props:
            what = "property %s.%s" % (t.name, p.name)
            if p.name in seen:
                self.error(p.file, p.line, "duplicate property %s in %s (first on line %d)" % (p.name, t.name, seen[p.name]))
            seen.setdefault(p.name, p.line)
            self.check_typeref(p.file, p.line, p.type, what)
            if self.check_version(p.file, p.line, p.since, what):
                self.check_not_earlier(p.file, p.line, p.since, t.since, what, "type")
            if p.extra_flags & 3:
                self.error(p.file, p.line, "flags=%d of %s sets the array/optional bits; write T[] or T? instead"
                           % (p.extra_flags, what))
        if t.kind == "enum":
            if not t.values:
                self.error(t.file, t.line, "enumeration %s has no values" % t.name)
            seen_values = set()
            for v in t.values:
                if v in seen_values:
                    self.error(t.file, t.line, "duplicate value %r in enumeration %s" % (v, t.name))
                seen_values.add(v)
        seen = {}
        for m in t.methods:
            self.check_method(t, m, seen)

    def check_base(self, pkg, t, index, position):
        lib = self.lib
        if not t.base:
            self.error(t.file, t.line, "%s %s has no base" % (_KIND_WORDS[t.kind], t.name))
            return
        base = lib.lookup(t.base)
        if base is None:
            self.error(t.file, t.line, "unknown base type %s of %s" % (t.base, t.name))
            return
        want = _BASE_KIND[t.kind]
        # The runtime's root fault derives from its root data object.
        root_fault = lib.runtime and t.kind == "fault" and base.kind == "data" and base.external
        if base.kind != want and not root_fault:
            self.error(t.file, t.line, "base %s of %s %s is a %s; the base of a %s is a %s"
                       % (t.base, _KIND_WORDS[t.kind], t.name, _KIND_WORDS[base.kind],
                          _KIND_WORDS[t.kind], _KIND_WORDS[want]))
            return
        if base is t:
            self.error(t.file, t.line, "type %s derives from itself" % t.name)
            return
        if not base.external and base.package is pkg and position.get(base.name, -1) > index:
            self.error(t.file, t.line, "base %s is declared after %s (at line %d); a base comes before the types "
                       "derived from it" % (base.name, t.name, base.line))
        # inheritance cycle
        seen = {t.name}
        cur = base
        while cur is not None and not cur.external and cur.base:
            if cur.name in seen:
                self.error(t.file, t.line, "inheritance cycle through %s" % cur.name)
                break
            seen.add(cur.name)
            cur = lib.lookup(cur.base)

    def check_method(self, t, m, seen):
        lib = self.lib
        what = "method %s.%s" % (t.name, m.name)
        if m.name in seen:
            self.error(m.file, m.line, "duplicate method %s in %s (first on line %d)" % (m.name, t.name, seen[m.name]))
        seen.setdefault(m.name, m.line)
        if not m.privilege:
            self.error(m.file, m.line, "%s has no privilege" % what)
        if self.check_version(m.file, m.line, m.since, what):
            self.check_not_earlier(m.file, m.line, m.since, t.since, what, "type")
        seen_params = {}
        for a in m.params:
            pwhat = "parameter %s of %s" % (a.name, what)
            if a.name in seen_params:
                self.error(a.file, a.line, "duplicate parameter %s in %s (first on line %d)"
                           % (a.name, what, seen_params[a.name]))
            seen_params.setdefault(a.name, a.line)
            self.check_typeref(a.file, a.line, a.type, pwhat)
            if self.check_version(a.file, a.line, a.since, pwhat):
                self.check_not_earlier(a.file, a.line, a.since, m.since, pwhat, "method")
        if m.result is not None:
            self.check_typeref(m.file, m.result_line or m.line, m.result, "the result of %s" % what)
        seen_faults = set()
        fline = m.faults_line or m.line
        for fault in m.faults:
            decl = lib.lookup(fault)
            if decl is None:
                self.error(m.file, fline, "unknown fault type %s of %s" % (fault, what))
            elif decl.kind != "fault":
                self.error(m.file, fline, "%s in the faults of %s is a %s, not a fault"
                           % (fault, what, _KIND_WORDS[decl.kind]))
            if fault in seen_faults:
                self.error(m.file, fline, "fault %s listed twice for %s" % (fault, what))
            seen_faults.add(fault)

    def run(self):
        self.check_library()
        declared = dict(self.lib.externals)
        for pkg in self.lib.packages:
            self.check_package(pkg, declared)
        return self.errors


def check(library) -> List[SchemaError]:
    """Every problem of the schema, in file order; empty when it is consistent."""
    return _Checker(library).run()


def validate(library) -> None:
    """Raise SchemaError (with every problem in `errors`) unless the schema is consistent."""
    errors = check(library)
    if errors:
        first = errors[0]
        first.errors = errors
        raise first
