"""Reader of the schema files (`library.zel` and one `<package>.zel` per package).

    load_library(schema_dir) -> Library

reads, links and validates the whole schema; any problem is a SchemaError
whose text is "<file>:<line>: <message>". The syntax is described in
zel-types/schema/README.md.

    python3 -m zelgen.parser <schema_dir>

prints the library's totals, or the errors and exit status 1.
"""

import os
import re
import sys
from collections import OrderedDict
from typing import List, Optional

from .model import (KINDS, Library, Method, Package, Param, Property, Relation,
                    TypeDecl, TypeRef, Version)
from .validate import SchemaError, validate

LIBRARY_FILE = "library.zel"
INDENT = 2  # blanks per level

_IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
_NAME_RE = re.compile(r"^%s$" % _IDENT)
_DOTTED_RE = re.compile(r"^%s(?:\.%s)*$" % (_IDENT, _IDENT))
_CPP_NAME_RE = re.compile(r"^%s(?:::%s)*$" % (_IDENT, _IDENT))
_LOADER_RE = re.compile(r"^[A-Za-z0-9_][A-Za-z0-9_.-]*$")
_TYPEREF_RE = re.compile(r"^(%s(?:\.%s)*)(\[\])?(\?)?$" % (_IDENT, _IDENT))
_ATTR_RE = re.compile(r"^([a-z][a-z0-9-]*)=(.*)$", re.S)


class Line:
    """One statement: indentation level, positional words and key=value attributes."""

    __slots__ = ("file", "line", "level", "words", "attrs")

    def __init__(self, file, line, level, words, attrs):
        self.file = file
        self.line = line
        self.level = level
        self.words = words  # list of str
        self.attrs = attrs  # OrderedDict key -> str

    @property
    def keyword(self):
        return self.words[0]

    def error(self, message):
        return SchemaError(self.file, self.line, message)


def _unquote(raw, file, line):
    """Drop the double quotes of a word; inside quotes blanks are kept and
    \\" and \\\\ stand for a quote and a backslash. Outside quotes a backslash is
    an ordinary character (unit paths are written with backslashes)."""
    out = []
    quoted = False
    i = 0
    while i < len(raw):
        ch = raw[i]
        if ch == '"':
            quoted = not quoted
        elif ch == "\\" and quoted and i + 1 < len(raw) and raw[i + 1] in '"\\':
            i += 1
            out.append(raw[i])
        else:
            out.append(ch)
        i += 1
    if quoted:
        raise SchemaError(file, line, "unterminated quoted value")
    return "".join(out)


def _split(text, file, line):
    """Split a line into raw words at blanks outside double quotes; a '#'
    outside quotes starts a comment."""
    words = []
    cur = []
    quoted = False
    in_word = False
    i = 0
    while i < len(text):
        ch = text[i]
        if quoted:
            cur.append(ch)
            if ch == "\\" and i + 1 < len(text) and text[i + 1] in '"\\':
                cur.append(text[i + 1])
                i += 1
            elif ch == '"':
                quoted = False
        elif ch in " \t":
            if in_word:
                words.append("".join(cur))
                cur = []
                in_word = False
        elif ch == "#":
            break
        else:
            cur.append(ch)
            in_word = True
            if ch == '"':
                quoted = True
        i += 1
    if quoted:
        raise SchemaError(file, line, "unterminated quoted value")
    if in_word:
        words.append("".join(cur))
    return words


def read_lines(path) -> List[Line]:
    """The statements of a schema file (comments and blank lines dropped)."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        raise SchemaError(path, 0, "cannot read file: %s" % e.strerror)
    except UnicodeDecodeError:
        raise SchemaError(path, 0, "file is not UTF-8 text")
    out = []
    for number, raw_line in enumerate(text.splitlines(), 1):
        body = raw_line.rstrip()
        stripped = body.lstrip(" ")
        if not stripped or stripped.startswith("#"):
            continue
        indent = len(body) - len(stripped)
        if stripped[0] == "\t":
            raise SchemaError(path, number, "bad indentation: tab character (indent with %d blanks per level)" % INDENT)
        if indent % INDENT:
            raise SchemaError(path, number, "bad indentation: %d blanks is not a multiple of %d" % (indent, INDENT))
        raw_words = _split(stripped, path, number)
        if not raw_words:
            continue
        words = []
        attrs = OrderedDict()
        for raw in raw_words:
            m = _ATTR_RE.match(raw)
            if m and not words:
                raise SchemaError(path, number, "line starts with an attribute (%s=)" % m.group(1))
            if m:
                key = m.group(1)
                if key in attrs:
                    raise SchemaError(path, number, "attribute %s= given twice" % key)
                attrs[key] = _unquote(m.group(2), path, number)
            else:
                if attrs:
                    raise SchemaError(path, number, "word %r after the attributes" % _unquote(raw, path, number))
                words.append(_unquote(raw, path, number))
        out.append(Line(path, number, indent // INDENT, words, attrs))
    return out


# ---------------------------------------------------------------------------
# helpers shared by both file kinds


def _check_attrs(ln: Line, allowed, required=()):
    for key in ln.attrs:
        if key not in allowed:
            raise ln.error("unknown attribute %s= on %s line" % (key, ln.keyword))
    for key in required:
        if key not in ln.attrs:
            raise ln.error("%s line lacks %s=" % (ln.keyword, key))


def _arity(ln: Line, minimum, maximum, usage):
    n = len(ln.words) - 1
    if n < minimum or (maximum is not None and n > maximum):
        raise ln.error("malformed %s line, expected: %s" % (ln.keyword, usage))


def _flags(ln: Line, text, what="flags"):
    try:
        value = int(text, 0)
    except ValueError:
        raise ln.error("bad %s value %r (a number, decimal or 0x hexadecimal)" % (what, text))
    if value < 0 or value > 0xFFFFFFFF:
        raise ln.error("bad %s value %r (must fit 32 bits unsigned)" % (what, text))
    return value


def _matching(ln: Line, text, pattern, what):
    if not pattern.match(text):
        raise ln.error("bad %s name %r" % (what, text))
    return text


def _name(ln: Line, text, what):
    return _matching(ln, text, _NAME_RE, what)


def _dotted(ln: Line, text, what):
    return _matching(ln, text, _DOTTED_RE, what)


def _typeref(ln: Line, words, usage):
    """`T`, `T?`, `T[]`, `T[]?`, optionally preceded by `moref`."""
    moref = False
    if words and words[0] == "moref":
        moref = True
        words = words[1:]
    if len(words) != 1:
        raise ln.error("malformed %s line, expected: %s" % (ln.keyword, usage))
    m = _TYPEREF_RE.match(words[0])
    if not m:
        raise ln.error("bad type %r (write T, T?, T[] or T[]?, optionally after moref)" % words[0])
    return TypeRef(m.group(1), array=bool(m.group(2)), optional=bool(m.group(3)), moref=moref)


class _Versions:
    """Expands short version names (`version11` -> `zel.version.version11`)."""

    def __init__(self, library_name):
        self.prefix = "%s.version." % library_name

    def full(self, ln: Line, text):
        if not text:
            raise ln.error("empty version name")
        if "." not in text:
            if not _NAME_RE.match(text):
                raise ln.error("bad version name %r" % text)
            return self.prefix + text
        return _dotted(ln, text, "version")


# ---------------------------------------------------------------------------
# library.zel

_SINGLE = ("library", "namespace", "unit-root", "dependencies", "designated", "runtime", "runtime-layer")
_LIBRARY_KEYWORDS = _SINGLE + ("version", "relation", "external-version", "packages", "external")


def parse_library_file(path) -> Library:
    lib = Library(file=path)
    lines = read_lines(path)
    seen = {}
    for ln in lines:
        kw = ln.keyword
        if ln.level != 0:
            raise ln.error("bad indentation: library statements are not indented")
        if kw not in _LIBRARY_KEYWORDS:
            raise ln.error("unknown keyword %r in %s" % (kw, LIBRARY_FILE))
        if kw in _SINGLE:
            if kw in seen:
                raise ln.error("%s given twice (first on line %d)" % (kw, seen[kw]))
            seen[kw] = ln.line
            lib.lines[kw] = ln.line
        if kw not in ("version", "external"):
            _check_attrs(ln, ())
        if kw == "library":
            _arity(ln, 1, 1, "library <name>")
            lib.name = _name(ln, ln.words[1], "library")
        elif kw == "namespace":
            _arity(ln, 1, 1, "namespace <C++ namespace>")
            lib.namespace = _matching(ln, ln.words[1], _CPP_NAME_RE, "namespace")
        elif kw == "runtime":
            _arity(ln, 0, 0, "runtime")
            lib.runtime = True
        elif kw == "runtime-layer":
            _arity(ln, 1, 1, "runtime-layer <loader name>")
            lib.runtime_layer = _matching(ln, ln.words[1], _LOADER_RE, "loader")
        elif kw == "unit-root":
            _arity(ln, 1, 1, "unit-root <path>")
            lib.unit_root = ln.words[1]
        elif kw == "dependencies":
            _arity(ln, 0, None, "dependencies <namespace>...")
            lib.dependencies = [_name(ln, w, "dependency") for w in ln.words[1:]]
        elif kw == "designated":
            _arity(ln, 1, None, "designated <version>...")
            lib.designated = [_dotted(ln, w, "version") for w in ln.words[1:]]
        elif kw == "version":
            _arity(ln, 1, 1, "version <name> id=... namespace=... task=... second-namespace=... flags=...")
            req = ("id", "namespace", "task", "second-namespace", "flags")
            _check_attrs(ln, req, req)
            lib.versions.append(Version(
                name=_dotted(ln, ln.words[1], "version"), id=ln.attrs["id"], namespace=ln.attrs["namespace"],
                task_type=ln.attrs["task"], second_namespace=ln.attrs["second-namespace"],
                flags=_flags(ln, ln.attrs["flags"]), file=path, line=ln.line))
        elif kw == "relation":
            _arity(ln, 2, 2, "relation <version> <parent version>")
            lib.lines["relation:%d" % len(lib.relations)] = ln.line
            lib.relations.append(Relation(_dotted(ln, ln.words[1], "version"), _dotted(ln, ln.words[2], "version")))
        elif kw == "external-version":
            _arity(ln, 1, None, "external-version <version>...")
            for w in ln.words[1:]:
                lib.lines.setdefault("external-version:" + w, ln.line)
                lib.external_versions.append(_dotted(ln, w, "version"))
        elif kw == "packages":
            _arity(ln, 1, None, "packages <package>...")
            lib.lines.setdefault("packages", ln.line)
            for w in ln.words[1:]:
                _dotted(ln, w, "package")
                lib.lines.setdefault("package:" + w, ln.line)
                # placeholder packages; filled when their files are read
                lib.packages.append(Package(name=w, unit="", file="", line=ln.line))
        elif kw == "external":
            usage = "external <data|fault|enum|managed> <name> class=... record=... header=..."
            _arity(ln, 2, 2, usage)
            _check_attrs(ln, ("class", "record", "header"), ("class", "record", "header"))
            kind = ln.words[1]
            if kind not in KINDS:
                raise ln.error("unknown kind %r of external type (data, fault, enum or managed)" % kind)
            name = _dotted(ln, ln.words[2], "type")
            if name in lib.externals:
                raise ln.error("duplicate external type %s (first on line %d)" % (name, lib.externals[name].line))
            lib.externals[name] = TypeDecl(
                kind=kind, name=name, wsdl=None, since=None, file=path, line=ln.line, external=True,
                cpp_class=ln.attrs["class"], record=ln.attrs["record"], header=ln.attrs["header"])
    for kw in ("library", "namespace", "unit-root", "packages"):
        if kw not in lib.lines:
            raise SchemaError(path, len(lines) and lines[-1].line, "%s lacks a %s line" % (LIBRARY_FILE, kw))
    return lib


# ---------------------------------------------------------------------------
# <package>.zel

_TYPE_ATTRS = ("wsdl", "since")
# A type whose class is written by hand names it and its header; only its
# records are generated.
_HAND_WRITTEN_ATTRS = ("class", "header")
# A type whose class is generated under a name and header of the schema's
# choosing rather than the ones its wire name gives.
_GENERATED_CLASS_ATTR = "generated-class"
_PROP_ATTRS = ("since", "annotation", "privilege", "flags", "getter")
_METHOD_ATTRS = ("wsdl", "privilege", "since", "flags")

_KIND_WORDS = {"data": "data object", "fault": "fault", "enum": "enumeration", "managed": "managed object"}

# which member keywords may stand below which statement
_MEMBERS = {
    "data": ("prop",),
    "fault": ("prop",),
    "enum": ("value",),
    "managed": ("prop", "method"),
    "method": ("param", "returns", "faults"),
}


def parse_package_file(path, expected_name, versions: _Versions) -> Package:
    lines = read_lines(path)
    if not lines:
        raise SchemaError(path, 1, "empty package file (expected: package %s)" % expected_name)
    it = iter(lines)
    first = next(it)
    if first.level != 0 or first.keyword != "package":
        raise first.error("a package file starts with: package %s" % expected_name)
    _arity(first, 1, 1, "package <name>")
    _check_attrs(first, ())
    if first.words[1] != expected_name:
        raise first.error("package %s declared in the file of package %s" % (first.words[1], expected_name))
    pkg = Package(name=expected_name, unit="", file=path, line=first.line)

    current_type: Optional[TypeDecl] = None
    current_method: Optional[Method] = None
    unit_seen = False
    method_parts = {}
    for ln in it:
        kw = ln.keyword
        if ln.level == 0:
            current_type = None
            current_method = None
            if kw == "package":
                raise ln.error("package given twice")
            if kw == "unit":
                if unit_seen:
                    raise ln.error("unit given twice")
                if pkg.types:
                    raise ln.error("unit must come before the types")
                _arity(ln, 1, 1, "unit <description unit path>")
                _check_attrs(ln, ())
                pkg.unit = ln.words[1]
                pkg.unit_line = ln.line
                unit_seen = True
                continue
            if kw in KINDS:
                if not unit_seen:
                    raise ln.error("the unit line must come before the types")
                current_type = _parse_type(ln, versions)
                pkg.types.append(current_type)
                continue
            if kw in ("prop", "value", "method", "param", "returns", "faults"):
                raise ln.error("bad indentation: %s must be indented below its declaration" % kw)
            raise ln.error("unknown keyword %r" % kw)
        if ln.level == 1:
            current_method = None
            if current_type is None:
                raise ln.error("bad indentation: no declaration above this line")
            if kw not in _MEMBERS[current_type.kind]:
                if kw in ("prop", "value", "method", "param", "returns", "faults"):
                    raise ln.error("%s is not allowed below %s %s"
                                   % (kw, _KIND_WORDS[current_type.kind], current_type.name))
                raise ln.error("unknown keyword %r" % kw)
            if kw == "prop":
                current_type.props.append(_parse_prop(ln, current_type, versions))
            elif kw == "value":
                _arity(ln, 1, 1, "value <wire string>")
                _check_attrs(ln, ())
                if not ln.words[1]:
                    raise ln.error("empty enumeration value")
                current_type.values.append(ln.words[1])
            elif kw == "method":
                current_method = _parse_method(ln, versions)
                current_type.methods.append(current_method)
                method_parts = {}
            continue
        if ln.level == 2:
            if current_method is None:
                raise ln.error("bad indentation: only param, returns and faults lines stand below a method")
            if kw not in _MEMBERS["method"]:
                raise ln.error("unknown keyword %r below a method" % kw)
            if kw in ("returns", "faults"):
                if kw in method_parts:
                    raise ln.error("%s given twice for method %s (first on line %d)"
                                   % (kw, current_method.name, method_parts[kw]))
                method_parts[kw] = ln.line
            if kw == "param":
                usage = "param <name> [moref] <type> [since=...]"
                _arity(ln, 2, 3, usage)
                _check_attrs(ln, ("since",))
                name = _name(ln, ln.words[1], "parameter")
                since = versions.full(ln, ln.attrs["since"]) if "since" in ln.attrs else current_method.since
                current_method.params.append(Param(name, _typeref(ln, ln.words[2:], usage), since, ln.file, ln.line))
            elif kw == "returns":
                usage = "returns [moref] <type>"
                _arity(ln, 1, 2, usage)
                _check_attrs(ln, ())
                current_method.result = _typeref(ln, ln.words[1:], usage)
                current_method.result_line = ln.line
            elif kw == "faults":
                _arity(ln, 1, None, "faults <fault type>...")
                _check_attrs(ln, ())
                current_method.faults = [_dotted(ln, w, "fault") for w in ln.words[1:]]
                current_method.faults_line = ln.line
            continue
        raise ln.error("bad indentation: too deep (%d levels)" % ln.level)
    if not unit_seen:
        raise SchemaError(path, first.line, "package %s lacks its unit line" % expected_name)
    return pkg


def _parse_type(ln: Line, versions: _Versions) -> TypeDecl:
    kind = ln.keyword
    if kind == "enum":
        usage = "enum <name> wsdl=... since=..."
        _arity(ln, 1, 1, usage)
        base = None
    else:
        usage = "%s <name> : <base> wsdl=... since=..." % kind
        if len(ln.words) != 4 or ln.words[2] != ":":
            raise ln.error("malformed %s line, expected: %s" % (kind, usage))
        base = _dotted(ln, ln.words[3], "base type")
    _check_attrs(ln, _TYPE_ATTRS + _HAND_WRITTEN_ATTRS + (_GENERATED_CLASS_ATTR,), _TYPE_ATTRS)
    name = _dotted(ln, ln.words[1], "type")
    wsdl = ln.attrs["wsdl"]
    if not wsdl:
        raise ln.error("empty wsdl name")
    generated = ln.attrs.get(_GENERATED_CLASS_ATTR)
    if generated is not None:
        cpp_class, header = _generated_class(ln, kind, generated)
    else:
        given = [key for key in _HAND_WRITTEN_ATTRS if ln.attrs.get(key)]
        if given and len(given) != len(_HAND_WRITTEN_ATTRS):
            raise ln.error("a hand-written class needs both class= and header=")
        cpp_class, header = ln.attrs.get("class"), ln.attrs.get("header")
    return TypeDecl(kind=kind, name=name, wsdl=wsdl, since=versions.full(ln, ln.attrs["since"]), base=base,
                    file=ln.file, line=ln.line, cpp_class=cpp_class, header=header,
                    class_generated=generated is not None)


def _generated_class(ln: Line, kind, cpp_class):
    """The class and full header of `generated-class=... header=...`."""
    if kind not in ("data", "fault"):
        raise ln.error("generated-class= names the class of a data object or fault only")
    if "class" in ln.attrs:
        raise ln.error("generated-class= and class= exclude each other (class= names a hand-written class)")
    if "::" not in cpp_class or not _CPP_NAME_RE.match(cpp_class):
        raise ln.error("bad generated class name %r (a qualified C++ name, Namespace::Class)" % cpp_class)
    header = ln.attrs.get("header")
    if not header or not header.endswith(".h") or header.startswith("/") or ".." in header.split("/"):
        raise ln.error("generated-class= needs header=<relative path>.h, the class's full header")
    return cpp_class, header


def _parse_prop(ln: Line, owner: TypeDecl, versions: _Versions) -> Property:
    usage = "prop <name> [moref] <type> [since=...] [annotation=...] [privilege=...] [flags=...]"
    _arity(ln, 2, 3, usage)
    _check_attrs(ln, _PROP_ATTRS)
    name = _name(ln, ln.words[1], "property")
    tref = _typeref(ln, ln.words[2:], usage)
    since = versions.full(ln, ln.attrs["since"]) if "since" in ln.attrs else owner.since
    extra = _flags(ln, ln.attrs["flags"]) if "flags" in ln.attrs else 0
    privilege = ln.attrs.get("privilege")
    if privilege == "":
        raise ln.error("empty privilege")
    getter = ln.attrs.get("getter")
    if getter is not None and not _NAME_RE.match(getter):
        raise ln.error("bad getter name %r" % getter)
    return Property(name=name, type=tref, since=since, annotation=ln.attrs.get("annotation"),
                    privilege=privilege, extra_flags=extra, getter=getter, file=ln.file, line=ln.line)


def _parse_method(ln: Line, versions: _Versions) -> Method:
    _arity(ln, 1, 1, "method <name> wsdl=... privilege=... since=... flags=...")
    _check_attrs(ln, _METHOD_ATTRS, _METHOD_ATTRS)
    name = _name(ln, ln.words[1], "method")
    for key in ("wsdl", "privilege"):
        if not ln.attrs[key]:
            raise ln.error("empty %s" % key)
    return Method(name=name, wsdl=ln.attrs["wsdl"], privilege=ln.attrs["privilege"],
                  since=versions.full(ln, ln.attrs["since"]), flags=_flags(ln, ln.attrs["flags"]),
                  file=ln.file, line=ln.line)


# ---------------------------------------------------------------------------


def parse_library(schema_dir) -> Library:
    """Read library.zel and every package file it lists; link, do not validate."""
    lib_path = os.path.join(schema_dir, LIBRARY_FILE)
    lib = parse_library_file(lib_path)
    versions = _Versions(lib.name)
    seen = {}
    packages = []
    for placeholder in lib.packages:
        line = placeholder.line
        if placeholder.name in seen:
            raise SchemaError(lib_path, line, "package %s listed twice" % placeholder.name)
        seen[placeholder.name] = line
        path = os.path.join(schema_dir, placeholder.name + ".zel")
        if not os.path.isfile(path):
            raise SchemaError(lib_path, line, "no file %s for package %s" % (os.path.basename(path), placeholder.name))
        packages.append(parse_package_file(path, placeholder.name, versions))
    listed = set(seen)
    for entry in sorted(os.listdir(schema_dir)):
        if entry.endswith(".zel") and entry != LIBRARY_FILE and entry[:-4] not in listed:
            raise SchemaError(os.path.join(schema_dir, entry), 1,
                              "package file not listed in the packages of %s" % LIBRARY_FILE)
    lib.packages = packages
    lib.types = OrderedDict()
    for pkg in packages:
        for t in pkg.types:
            lib.types.setdefault(t.name, t)  # duplicates are reported by validate()
    lib.link()
    return lib


def load_library(schema_dir) -> Library:
    """Read, link and validate the schema in `schema_dir`."""
    lib = parse_library(schema_dir)
    validate(lib)
    return lib


def main(argv=None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 1:
        sys.stderr.write("usage: python3 -m zelgen.parser <schema_dir>\n")
        return 2
    try:
        lib = load_library(argv[0])
    except SchemaError as e:
        for err in e.errors:
            sys.stderr.write("%s\n" % err)
        return 1
    width = max(len(label) for label, _ in lib.summary())
    for label, value in lib.summary():
        sys.stdout.write("%-*s  %s\n" % (width, label, value))
    return 0


if __name__ == "__main__":
    sys.exit(main())
