"""Turns a loaded schema library into the generated sources, as {path: text}."""

from . import emit_registration
from .binding import Binding, BindingError
from .emit_classes import ClassesEmitter
from .emit_headers import HeaderEmitter, HeaderError
from .emit_unit import LayerUnitEmitter, RuntimeUnitEmitter, UnitEmitter


def _source_name(package):
    return "%s.zel" % package.name


def external_array_instantiations(binding):
    """Arrays of external element classes, each instantiated in the first
    package (registration order) that uses it: {package: [class, ...]}."""
    placed, out = set(), {}
    for package in binding.lib.packages:
        for decl in package.types:
            refs = [p.type for p in decl.props]
            for m in decl.methods:
                refs += [a.type for a in m.params] + ([m.result] if m.result is not None else [])
            for ref in refs:
                if not ref.array or ref.moref or ref.name == "string":
                    continue
                held = binding.held_decl(ref)
                if held is not None and binding.is_own(held):
                    continue
                cls = binding.kind(ref).cpp
                if cls not in placed:
                    placed.add(cls)
                    out.setdefault(package.name, []).append(cls)
        if package is binding.lib.packages[0]:
            out.setdefault(package.name, []).extend(
                ["Lumo::Array<std::string>", "Lumo::Primitive<std::string>"])
            placed.update(out[package.name])
    return out


def check_include_cycles(binding, headers):
    """Declaration headers may include each other only without cycles."""
    graph = {}
    for package in binding.lib.packages:
        for top in binding.top_level_types(package):
            includes, _ = headers.decl_includes(top)
            graph[binding.decl_header(top)] = [h for h in includes if h.endswith("-decl.h")]
    state = {}

    def visit(node, path):
        if state.get(node) == "done":
            return
        if state.get(node) == "open":
            cycle = path[path.index(node):] + [node]
            raise HeaderError("declaration headers include each other in a cycle: " + " -> ".join(cycle))
        state[node] = "open"
        for nxt in graph.get(node, []):
            visit(nxt, path + [node])
        state[node] = "done"

    for node in graph:
        visit(node, [])


def check_runtime(library):
    """The runtime's own library holds data objects and faults only: its
    enumerations and managed types (if it had any) are created otherwise."""
    for package in library.packages:
        for decl in package.types:
            if decl.kind not in ("data", "fault"):
                raise BindingError("%s:%d: the runtime's library holds data objects and faults only, not %s"
                                   % (decl.file, decl.line, decl.name))


def generate(library, header_prefix="Olyx"):
    binding = Binding(library, header_prefix)
    headers = HeaderEmitter(binding)
    check_include_cycles(binding, headers)
    if library.runtime:
        check_runtime(library)
        # The runtime instantiates the arrays of its primitives itself.
        units = RuntimeUnitEmitter(binding, {})
    elif library.runtime_layer is not None:
        # The runtime instantiates the arrays of its own classes, the only
        # other library a library of its layer refers to.
        units = LayerUnitEmitter(binding, {})
    else:
        units = UnitEmitter(binding, external_array_instantiations(binding))
    classes = ClassesEmitter(binding)
    root = binding.tree_root
    files = {}
    for package in library.packages:
        source = _source_name(package)
        for top in binding.top_level_types(package):
            if not binding.writes_class(top):
                continue
            files["%s/%s" % (root, binding.decl_header(top))] = headers.emit_decl(top, source)
            files["%s/%s" % (root, binding.full_header(top))] = headers.emit_full(top, source)
        unit_dir = package.unit.replace("\\", "/").rsplit("/", 1)[0]
        files["%s/typeinfo.cpp" % unit_dir] = units.emit(package, source)
        # No classes unit for a package whose classes are all written by hand.
        if not package.types or any(binding.writes_class(decl) for decl in package.types):
            files["%s/classes.cpp" % unit_dir] = classes.emit(package, source)
    if not library.runtime:
        files["%s/%s/registration.cpp" % (root, library.name)] = emit_registration.emit(library)
    return files


__all__ = ["generate", "BindingError", "HeaderError"]
