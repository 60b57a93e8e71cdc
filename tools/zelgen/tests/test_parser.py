"""Schema reader and checker on small schemas written by the tests themselves."""

import io
import os
import sys
import tempfile
import textwrap
import unittest
from contextlib import redirect_stderr, redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from zelgen import parser  # noqa: E402
from zelgen.model import (PRIMITIVES, Library, Method, Package, Param, Property,  # noqa: E402
                          TypeDecl, TypeRef, Version)
from zelgen.parser import load_library  # noqa: E402
from zelgen.validate import SchemaError, check, validate  # noqa: E402

LIBRARY = r"""
# a small library for the tests
library zel
namespace Zel
unit-root LIBRARIES\olyx\generic\beta
dependencies olyx hox
version zel.version.version1   id=1.0       namespace=zel task=zel.Task second-namespace=zel flags=0x100
version zel.version.version2   id=2.0       namespace=zel task=zel.Task second-namespace=zel flags=0x100
version zel.version.unstable   id=unstable  namespace=zel task=zel.Task second-namespace=zel flags=256
designated zel.version.version2 zel.version.version2 zel.version.version2 zel.version.version1
relation zel.version.version1 olyx.version.version2
relation zel.version.version2 zel.version.version1
relation zel.version.unstable zel.version.version2
relation zel.version.unstable hox.version.unstable
external-version olyx.version.version0
packages zel
packages zel.sub
external data     olyx.DynamicData    class=Lumo::DynamicData    record=gOlyxDynamicDataTypeInfo    header=Lumo/DynamicData.h
external data     olyx.KeyAnyValue    class=Lumo::KeyAnyValue    record=gOlyxKeyAnyValueTypeInfo    header=Lumo/KeyAnyValue.h
external fault    olyx.MethodFault    class=Lumo::MethodFault    record=gOlyxMethodFaultTypeInfo    header=Lumo/MethodFault.h
external fault    olyx.fault.NotSupported class=Lumo::Fault::NotSupported record=gOlyxFaultNotSupportedTypeInfo header=Lumo/Fault/NotSupported.h
external managed  olyx.ManagedObject  class=Lumo::ManagedObject  record=gOlyxManagedObjectTypeInfo  header=Lumo/ManagedObject.h
external data     hox.vm.ProfileSpec  class=Hox::Vm::ProfileSpec  record=gHoxVmProfileSpecTypeInfo  header="Hox/Vm/ProfileSpec.h"
"""

ROOT = r"""
# the root package of the tests
package zel
unit LIBRARIES\olyx\generic\beta\zel\typeinfo

data zel.Thing : olyx.DynamicData  wsdl=ZelThing  since=version1
  prop name        string            annotation=""
  prop count       int?
  prop tags        string[]
  prop moreTags    string[]?
  prop namespace   string
  prop operator    string?           since=version2
  prop child       zel.Thing?
  prop children    zel.Thing[]
  prop spec        hox.vm.ProfileSpec?
  prop args        olyx.KeyAnyValue[]?
  prop task        moref zel.Task
  prop tasks       moref zel.Task[]?
  prop when        dateTime
  prop value       anyType
  prop kindName    typeName?
  prop ratio       double
  prop big         long
  prop flag        boolean
  prop note        string  annotation="two \"quoted\" words # not a comment"  since=zel.version.unstable

data zel.Thing.Part : olyx.DynamicData  wsdl=ZelThingPart  since=version2

data zel.Derived : zel.Thing  wsdl=ZelDerived  since=version2
  prop extra  string?

fault zel.BaseFault : olyx.MethodFault  wsdl=ZelFault  since=version1

fault zel.OtherFault : zel.BaseFault  wsdl=ZelOtherFault  since=version1
  prop reason  string

enum zel.Thing.Kind  wsdl=ZelKind  since=version1
  value first
  value "second value"
  value delete

managed zel.Task : olyx.ManagedObject  wsdl=ZelTask  since=version1

managed zel.Service : olyx.ManagedObject  wsdl=ZelService  since=version1
  prop content  zel.Thing  flags=4  privilege=System.Anonymous
  method nothing  wsdl=ZelNothing  privilege=StorageProfile.View  since=version1  flags=0x100
  method plain  wsdl=ZelPlain  privilege=System.Anonymous  since=version1  flags=0x0
    returns zel.Thing
  method optional  wsdl=ZelOptional  privilege=StorageProfile.View  since=version1  flags=0
    returns zel.Thing?
  method array  wsdl=ZelArray  privilege=StorageProfile.View  since=version1  flags=0
    returns zel.Thing[]
  method optionalArray  wsdl=OddName  privilege=StorageProfile.View  since=version2  flags=0
    returns string[]?
  method reference  wsdl=ZelReference  privilege=StorageProfile.View  since=version1  flags=0
    returns moref zel.Task?
  method references  wsdl=ZelReferences  privilege=StorageProfile.View  since=version1  flags=0
    returns moref zel.Task[]
  method primitive  wsdl=ZelPrimitive  privilege=StorageProfile.Update  since=version1  flags=0
    returns boolean
  method withParams  wsdl=ZelWithParams  privilege=StorageProfile.Update  since=version1  flags=0x100
    param namespace  string
    param things     zel.Thing[]?        since=version2
    param task       moref zel.Task
    param spec       hox.vm.ProfileSpec?  since=unstable
    faults zel.OtherFault olyx.fault.NotSupported zel.BaseFault
    returns long
"""

SUB = r"""
package zel.sub
unit LIBRARIES\olyx\generic\beta\zel\sub\typeinfo

data zel.sub.Leaf : zel.Derived  wsdl=ZelLeaf  since=version2
  prop owner  zel.Thing
"""


def write_schema(root, library=LIBRARY, packages=None, extra_files=None):
    files = {"library.zel": library}
    files.update({"zel.zel": ROOT, "zel.sub.zel": SUB} if packages is None else packages)
    files.update(extra_files or {})
    for name, text in files.items():
        with open(os.path.join(root, name), "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text).lstrip("\n"))


def marker_line(text, marker="# <<"):
    """1-based line number of the (dedented) line that carries the marker."""
    lines = textwrap.dedent(text).lstrip("\n").splitlines()
    hits = [i + 1 for i, line in enumerate(lines) if marker in line]
    assert len(hits) == 1, hits
    return hits[0]


class SchemaTestCase(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def load(self, **kw):
        write_schema(self.dir, **kw)
        return load_library(self.dir)

    def assertSchemaError(self, file_name, text, fragment, **kw):
        """Loading fails with an error at the marked line of `file_name`."""
        write_schema(self.dir, **kw)
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        err = cm.exception
        self.assertEqual(os.path.basename(err.file), file_name, str(err))
        self.assertEqual(err.line, marker_line(text), str(err))
        self.assertIn(fragment, err.message)
        self.assertEqual(str(err), "%s:%d: %s" % (err.file, err.line, err.message))
        return err


def mark(text):
    """Move each "@@" to the end of its line as the marker comment "# <<"."""
    out = []
    for line in text.split("\n"):
        if "@@" in line:
            line = line.replace("@@", "") + "  # <<"
        out.append(line)
    return "\n".join(out)


def edit(text, old, new):
    """`text` with `old` replaced by `new`, the changed line marked by "@@"."""
    assert old in text, old
    return mark(text.replace(old, new, 1))


class ParseGoodSchema(SchemaTestCase):
    def setUp(self):
        super().setUp()
        self.lib = self.load()
        self.thing = self.lib.types["zel.Thing"]
        self.service = self.lib.types["zel.Service"]

    def prop(self, name, owner="zel.Thing"):
        return next(p for p in self.lib.types[owner].props if p.name == name)

    def method(self, name):
        return next(m for m in self.service.methods if m.name == name)

    def test_library_header(self):
        lib = self.lib
        self.assertEqual(lib.name, "zel")
        self.assertEqual(lib.namespace, "Zel")
        self.assertEqual(lib.unit_root, "LIBRARIES\\olyx\\generic\\beta")
        self.assertEqual(lib.dependencies, ["olyx", "hox"])
        self.assertEqual([p.name for p in lib.packages], ["zel", "zel.sub"])
        self.assertEqual(lib.external_versions, ["olyx.version.version0"])
        self.assertEqual(lib.designated, ["zel.version.version2"] * 3 + ["zel.version.version1"])
        self.assertEqual(lib.relations[0], ("zel.version.version1", "olyx.version.version2"))
        self.assertEqual([tuple(r) for r in lib.relations][-1], ("zel.version.unstable", "hox.version.unstable"))

    def test_versions(self):
        v = self.lib.versions[2]
        self.assertEqual(v, Version("zel.version.unstable", "unstable", "zel", "zel.Task", "zel", 0x100,
                                    v.file, v.line))
        self.assertEqual(v.short, "unstable")
        self.assertEqual(self.lib.version_names,
                         ["zel.version.version1", "zel.version.version2", "zel.version.unstable"])
        self.assertEqual(self.lib.versions[0].flags, 0x100)

    def test_externals(self):
        ext = self.lib.externals["hox.vm.ProfileSpec"]
        self.assertTrue(ext.external)
        self.assertEqual(ext.kind, "data")
        self.assertEqual(ext.cpp_class, "Hox::Vm::ProfileSpec")
        self.assertEqual(ext.record, "gHoxVmProfileSpecTypeInfo")
        self.assertEqual(ext.header, "Hox/Vm/ProfileSpec.h")  # quotes dropped
        self.assertIsNone(ext.package)
        self.assertEqual(self.lib.externals["olyx.ManagedObject"].kind, "managed")
        self.assertEqual(self.lib.externals["olyx.MethodFault"].kind, "fault")

    def test_lookup(self):
        self.assertIs(self.lib.lookup("zel.Thing"), self.thing)
        self.assertIs(self.lib.lookup("olyx.DynamicData"), self.lib.externals["olyx.DynamicData"])
        self.assertIsNone(self.lib.lookup("string"))
        self.assertIsNone(self.lib.lookup("zel.Nowhere"))
        self.assertNotIn("olyx.DynamicData", self.lib.types)

    def test_type_header(self):
        t = self.thing
        self.assertEqual((t.kind, t.name, t.wsdl, t.since, t.base),
                         ("data", "zel.Thing", "ZelThing", "zel.version.version1", "olyx.DynamicData"))
        self.assertFalse(t.external)
        self.assertIs(t.package, self.lib.packages[0])
        self.assertEqual(os.path.basename(t.file), "zel.zel")
        self.assertEqual(t.line, marker_line(edit(ROOT, "data zel.Thing :", "data zel.Thing : # <<")))
        self.assertIs(t.base_decl, self.lib.externals["olyx.DynamicData"])
        self.assertIs(self.lib.types["zel.Derived"].base_decl, t)

    def test_property_forms(self):
        expect = {  # name: (type name, array, optional, moref, flags)
            "name": ("string", False, False, False, 0),
            "count": ("int", False, True, False, 2),
            "tags": ("string", True, False, False, 1),
            "moreTags": ("string", True, True, False, 3),
            "child": ("zel.Thing", False, True, False, 2),
            "children": ("zel.Thing", True, False, False, 1),
            "spec": ("hox.vm.ProfileSpec", False, True, False, 2),
            "args": ("olyx.KeyAnyValue", True, True, False, 3),
            "task": ("zel.Task", False, False, True, 0),
            "tasks": ("zel.Task", True, True, True, 3),
            "when": ("dateTime", False, False, False, 0),
            "value": ("anyType", False, False, False, 0),
            "kindName": ("typeName", False, True, False, 2),
            "ratio": ("double", False, False, False, 0),
            "big": ("long", False, False, False, 0),
            "flag": ("boolean", False, False, False, 0),
        }
        for name, (tname, array, optional, moref, flags) in expect.items():
            p = self.prop(name)
            self.assertEqual((p.type.name, p.type.array, p.type.optional, p.type.moref), (tname, array, optional, moref), name)
            self.assertEqual(p.flags, flags, name)
            self.assertEqual(p.type.flags, flags, name)
            self.assertEqual(p.type.is_primitive, tname in PRIMITIVES, name)
            self.assertIs(p.owner, self.thing)
        self.assertEqual([p.name for p in self.thing.props][:4], ["name", "count", "tags", "moreTags"])
        self.assertEqual(str(self.prop("tasks").type), "moref zel.Task[]?")

    def test_keywords_as_names(self):
        self.assertEqual(self.prop("namespace").type, TypeRef("string"))
        op = self.prop("operator")
        self.assertEqual(op.type, TypeRef("string", optional=True))
        self.assertEqual(op.since, "zel.version.version2")
        self.assertEqual(self.method("withParams").params[0].name, "namespace")
        self.assertEqual(self.lib.types["zel.Thing.Kind"].values[2], "delete")

    def test_property_particulars(self):
        name = self.prop("name")
        self.assertEqual(name.annotation, "")
        self.assertIsNone(name.privilege)
        self.assertEqual(name.extra_flags, 0)
        self.assertIsNone(self.prop("count").annotation)
        note = self.prop("note")
        self.assertEqual(note.annotation, 'two "quoted" words # not a comment')
        self.assertEqual(note.since, "zel.version.unstable")  # full names are accepted
        content = self.service.props[0]
        self.assertEqual((content.name, content.privilege, content.extra_flags, content.flags),
                         ("content", "System.Anonymous", 4, 4))
        self.assertEqual(self.lib.types["zel.Derived"].props[0].flags, 2)

    def test_since_defaults(self):
        self.assertEqual(self.prop("count").since, "zel.version.version1")
        self.assertEqual(self.prop("extra", "zel.Derived").since, "zel.version.version2")
        params = self.method("withParams").params
        self.assertEqual([a.since for a in params],
                         ["zel.version.version1", "zel.version.version2", "zel.version.version1",
                          "zel.version.unstable"])
        self.assertEqual([a.flags for a in params], [0, 3, 0, 2])
        self.assertTrue(params[2].type.moref)
        self.assertIs(params[0].owner, self.method("withParams"))

    def test_result_forms(self):
        expect = {  # name: result as written
            "nothing": None,
            "plain": "zel.Thing",
            "optional": "zel.Thing?",
            "array": "zel.Thing[]",
            "optionalArray": "string[]?",
            "reference": "moref zel.Task?",
            "references": "moref zel.Task[]",
            "primitive": "boolean",
            "withParams": "long",
        }
        self.assertEqual([m.name for m in self.service.methods], list(expect))
        for name, written in expect.items():
            m = self.method(name)
            self.assertEqual(None if m.result is None else str(m.result), written, name)
        self.assertEqual(self.method("optionalArray").result.flags, 3)
        self.assertEqual(self.method("reference").result.flags, 2)
        self.assertEqual(self.method("references").result.flags, 1)

    def test_method_fields(self):
        m = self.method("withParams")
        self.assertEqual((m.wsdl, m.privilege, m.since, m.flags),
                         ("ZelWithParams", "StorageProfile.Update", "zel.version.version1", 0x100))
        self.assertEqual(m.faults, ["zel.OtherFault", "olyx.fault.NotSupported", "zel.BaseFault"])
        self.assertEqual(m.qualified_name, "zel.Service.withParams")
        self.assertIs(m.owner, self.service)
        self.assertEqual(self.method("optionalArray").wsdl, "OddName")
        self.assertEqual(self.method("plain").flags, 0)
        self.assertEqual(self.method("nothing").params, [])
        self.assertEqual(self.method("nothing").faults, [])

    def test_result_version(self):
        lib = self.lib
        self.assertEqual(lib.result_version(self.method("nothing")), "olyx.version.version0")
        self.assertEqual(lib.result_version(self.method("primitive")), "olyx.version.version0")
        self.assertEqual(lib.result_version(self.method("plain")), "zel.version.version1")

    def test_enum(self):
        kind = self.lib.types["zel.Thing.Kind"]
        self.assertEqual(kind.values, ["first", "second value", "delete"])
        self.assertIsNone(kind.base)
        self.assertEqual(kind.props, [])

    def test_nesting(self):
        kind = self.lib.types["zel.Thing.Kind"]
        part = self.lib.types["zel.Thing.Part"]
        self.assertEqual(kind.short_name, "Kind")
        self.assertIs(kind.enclosing, self.thing)
        self.assertIs(part.enclosing, self.thing)
        self.assertIsNone(self.thing.enclosing)
        self.assertEqual([t.name for t in self.thing.nested], ["zel.Thing.Part", "zel.Thing.Kind"])
        self.assertIsNone(self.lib.types["zel.sub.Leaf"].enclosing)  # zel.sub is a package, not a type

    def test_package_order(self):
        root = self.lib.packages[0]
        self.assertEqual(root.unit, "LIBRARIES\\olyx\\generic\\beta\\zel\\typeinfo")
        self.assertEqual([t.name for t in root.data_types()],
                         ["zel.Thing", "zel.Thing.Part", "zel.Derived", "zel.BaseFault", "zel.OtherFault"])
        self.assertEqual([t.name for t in root.enums()], ["zel.Thing.Kind"])
        self.assertEqual([t.name for t in root.managed()], ["zel.Task", "zel.Service"])
        self.assertEqual(root.slot_order(), root.types)
        self.assertEqual(list(self.lib.types)[-1], "zel.sub.Leaf")
        self.assertEqual(self.lib.count_kinds(), {"data": 4, "fault": 2, "enum": 1, "managed": 2})
        self.assertEqual(self.lib.method_count, 9)

    def test_cross_package_base(self):
        leaf = self.lib.types["zel.sub.Leaf"]
        self.assertIs(leaf.package, self.lib.packages[1])
        self.assertIs(leaf.base_decl, self.lib.types["zel.Derived"])

    def test_external_stores(self):
        stores = self.lib.external_stores()
        by_what = {}
        for s in stores:
            by_what[s.what] = by_what.get(s.what, 0) + 1
        # parents: Thing, Thing.Part (DynamicData), BaseFault (MethodFault), Task, Service (ManagedObject)
        self.assertEqual(by_what["parent"], 5)
        # Thing: 15 primitive or external properties, Derived 1, OtherFault 1, Leaf 0
        self.assertEqual(by_what["property"], 17)
        self.assertEqual(by_what["param"], 2)  # namespace (string), spec (hox)
        self.assertEqual(by_what["result"], 3)  # string[]?, boolean, long
        self.assertEqual(by_what["fault"], 1)  # olyx.fault.NotSupported
        self.assertEqual(len(stores), 28)
        self.assertEqual(stores[0].where, "zel.Thing")
        self.assertEqual(stores[1].record, "gStringTypeInfo")

    def test_version_introductions(self):
        intro = self.lib.version_introductions()
        self.assertEqual(intro["zel.version.version1"], {"types": 6, "properties": 0, "methods": 0, "params": 0})
        self.assertEqual(intro["zel.version.version2"], {"types": 3, "properties": 1, "methods": 1, "params": 1})
        self.assertEqual(intro["zel.version.unstable"], {"types": 0, "properties": 1, "methods": 0, "params": 1})

    def test_summary_cli(self):
        out = io.StringIO()
        with redirect_stdout(out):
            self.assertEqual(parser.main([self.dir]), 0)
        text = out.getvalue()
        self.assertRegex(text, r"types +9 \(4 data objects, 2 faults, 1 enumerations, 2 managed objects\)")
        self.assertRegex(text, r"methods without result +1\n")
        self.assertIn("package zel.sub", text)


class ParseHandBuiltModel(unittest.TestCase):
    """validate() works on a model built in code, too."""

    def build(self):
        lib = Library(name="zel", namespace="Zel", unit_root="R", dependencies=["olyx"],
                      versions=[Version("zel.version.v1", "1", "zel", "zel.T", "zel", 0x100)],
                      designated=["zel.version.v1"] * 4, file="library.zel")
        lib.externals["olyx.ManagedObject"] = TypeDecl("managed", "olyx.ManagedObject", None, None, external=True,
                                                       cpp_class="Lumo::ManagedObject", record="r", header="h")
        pkg = Package("zel", "R\\zel\\typeinfo", file="zel.zel")
        t = TypeDecl("managed", "zel.T", "ZelT", "zel.version.v1", "olyx.ManagedObject", file="zel.zel", line=3)
        t.methods.append(Method("m", "ZelM", "P", "zel.version.v1", 0,
                                [Param("a", TypeRef("string"), "zel.version.v1", "zel.zel", 5)],
                                TypeRef("string", array=True), [], "zel.zel", 4))
        t.props.append(Property("p", TypeRef("zel.T", moref=True), "zel.version.v1", file="zel.zel", line=6))
        pkg.types.append(t)
        lib.packages.append(pkg)
        lib.types[t.name] = t
        lib.link()
        return lib, t

    def test_valid(self):
        lib, t = self.build()
        validate(lib)
        self.assertEqual(check(lib), [])
        self.assertIs(t.methods[0].owner, t)

    def test_invalid(self):
        lib, t = self.build()
        t.methods[0].params[0].type = TypeRef("zel.Missing")
        errors = check(lib)
        self.assertEqual([(e.file, e.line) for e in errors], [("zel.zel", 5)])
        self.assertIn("unknown type zel.Missing", errors[0].message)


class SyntaxErrors(SchemaTestCase):
    def root_error(self, old, new, fragment):
        text = edit(ROOT, old, new)
        return self.assertSchemaError("zel.zel", text, fragment, packages={"zel.zel": text, "zel.sub.zel": SUB})

    def library_error(self, old, new, fragment):
        text = edit(LIBRARY, old, new)
        return self.assertSchemaError("library.zel", text, fragment, library=text)

    def test_unknown_keyword(self):
        self.root_error("  prop extra  string?", "  propp extra  string?@@", "unknown keyword 'propp'")

    def test_unknown_top_keyword(self):
        self.root_error("managed zel.Task :", "struct zel.Other : olyx.DynamicData wsdl=X since=version1@@\nmanaged zel.Task :",
                        "unknown keyword 'struct'")

    def test_unknown_library_keyword(self):
        self.library_error("namespace Zel", "namespace Zel\nlibary zel@@", "unknown keyword 'libary'")

    def test_odd_indentation(self):
        self.root_error("  prop extra  string?", "   prop extra  string?@@", "not a multiple of 2")

    def test_tab_indentation(self):
        self.root_error("  prop extra  string?", "\tprop extra  string?@@", "tab")

    def test_member_at_top_level(self):
        self.root_error("  prop extra  string?", "prop extra  string?@@", "must be indented")

    def test_too_deep(self):
        self.root_error("  prop extra  string?", "  prop extra  string?\n    prop more  string@@",
                        "only param, returns and faults")

    def test_param_below_type(self):
        self.root_error("  prop extra  string?", "  prop extra  string?\n  param more  string@@",
                        "param is not allowed below data object zel.Derived")

    def test_value_in_data(self):
        self.root_error("  prop reason  string", "  value reason@@", "value is not allowed below fault zel.OtherFault")

    def test_prop_in_enum(self):
        self.root_error("  value first", "  prop first string@@", "prop is not allowed below enumeration zel.Thing.Kind")

    def test_method_in_data(self):
        self.root_error("  prop extra  string?",
                        "  method m wsdl=ZelM privilege=P since=version2 flags=0@@",
                        "method is not allowed below data object zel.Derived")

    def test_bad_method_flags(self):
        self.root_error("flags=0x100\n    param namespace", "flags=0x1g0@@\n    param namespace", "bad flags value '0x1g0'")

    def test_too_wide_flags(self):
        self.root_error("  prop content  zel.Thing  flags=4", "  prop content  zel.Thing  flags=0x100000000@@",
                        "32 bits")

    def test_flags_overlap_type_bits(self):
        self.root_error("  prop content  zel.Thing  flags=4", "  prop content  zel.Thing  flags=6@@",
                        "array/optional bits")

    def test_bad_version_flags(self):
        self.library_error("flags=256", "flags=lots@@", "bad flags value 'lots'")

    def test_unknown_attribute(self):
        self.root_error("  prop extra  string?", "  prop extra  string?  optional=yes@@", "unknown attribute optional=")

    def test_attribute_twice(self):
        self.root_error("  prop extra  string?", "  prop extra  string?  since=version2 since=version2@@",
                        "given twice")

    def test_word_after_attributes(self):
        self.root_error("  prop extra  string?", "  prop extra  since=version2 string?@@", "after the attributes")

    def test_missing_wsdl(self):
        self.root_error("data zel.Derived : zel.Thing  wsdl=ZelDerived", "data zel.Derived : zel.Thing@@",
                        "lacks wsdl=")

    def test_missing_method_attribute(self):
        self.root_error("method nothing  wsdl=ZelNothing  privilege=StorageProfile.View  since=version1  flags=0x100",
                        "method nothing  wsdl=ZelNothing  since=version1  flags=0x100@@", "lacks privilege=")

    def test_missing_base(self):
        self.root_error("data zel.Derived : zel.Thing", "data zel.Derived@@", "malformed data line")

    def test_bad_type_ref(self):
        self.root_error("  prop extra  string?", "  prop extra  string?[]@@", "bad type 'string?[]'")

    def test_prop_without_type(self):
        self.root_error("  prop extra  string?", "  prop extra@@", "malformed prop line")

    def test_bad_property_name(self):
        self.root_error("  prop extra  string?", "  prop ex-tra  string?@@", "bad property name")

    def test_unterminated_quote(self):
        self.root_error('  prop name        string            annotation=""',
                        '  prop name        string            annotation="oops@@', "unterminated")

    def test_returns_twice(self):
        self.root_error("    returns zel.Thing?\n", "    returns zel.Thing?\n    returns zel.Thing@@\n",
                        "returns given twice")

    def test_faults_empty(self):
        self.root_error("    faults zel.OtherFault olyx.fault.NotSupported zel.BaseFault", "    faults@@",
                        "malformed faults line")

    def test_type_before_unit(self):
        text = mark("package zel\ndata zel.A : olyx.DynamicData wsdl=ZelA since=version1@@\n")
        self.assertSchemaError("zel.zel", text, "unit line must come before", packages={"zel.zel": text, "zel.sub.zel": SUB})

    def test_wrong_package_line(self):
        text = mark("package zel.other@@\n")
        self.assertSchemaError("zel.zel", text, "declared in the file of package zel",
                               packages={"zel.zel": text, "zel.sub.zel": SUB})

    def test_missing_package_file(self):
        text = edit(LIBRARY, "packages zel.sub", "packages zel.sub zel.gone@@")
        self.assertSchemaError("library.zel", text, "no file zel.gone.zel", library=text)

    def test_unlisted_package_file(self):
        text = "package zel.stray\n"
        write_schema(self.dir, extra_files={"zel.stray.zel": text})
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        self.assertEqual(os.path.basename(cm.exception.file), "zel.stray.zel")
        self.assertIn("not listed", cm.exception.message)

    def test_library_single_statement_twice(self):
        self.library_error("namespace Zel", "namespace Zel\nnamespace Zel2@@", "namespace given twice")

    def test_library_missing_packages(self):
        text = LIBRARY.replace("packages zel\npackages zel.sub\n", "")
        write_schema(self.dir, library=text)
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        self.assertIn("lacks a packages line", cm.exception.message)

    def test_external_bad_kind(self):
        self.library_error("external data     olyx.KeyAnyValue", "external thing  olyx.KeyAnyValue@@",
                           "unknown kind 'thing'")

    def test_cli_reports_error(self):
        text = edit(ROOT, "  prop extra  string?", "  prop extra  zel.Missing@@")
        write_schema(self.dir, packages={"zel.zel": text, "zel.sub.zel": SUB})
        err = io.StringIO()
        with redirect_stderr(err):
            self.assertEqual(parser.main([self.dir]), 1)
        expected = "%s:%d: " % (os.path.join(self.dir, "zel.zel"), marker_line(text))
        self.assertTrue(err.getvalue().startswith(expected), err.getvalue())
        self.assertIn("unknown type zel.Missing", err.getvalue())


class ValidationErrors(SchemaTestCase):
    def root_error(self, old, new, fragment):
        text = edit(ROOT, old, new)
        return self.assertSchemaError("zel.zel", text, fragment, packages={"zel.zel": text, "zel.sub.zel": SUB})

    def sub_error(self, old, new, fragment):
        text = edit(SUB, old, new)
        return self.assertSchemaError("zel.sub.zel", text, fragment, packages={"zel.zel": ROOT, "zel.sub.zel": text})

    def library_error(self, old, new, fragment):
        text = edit(LIBRARY, old, new)
        return self.assertSchemaError("library.zel", text, fragment, library=text)

    # unknown types
    def test_unknown_property_type(self):
        self.root_error("  prop extra  string?", "  prop extra  zel.Missing?@@", "unknown type zel.Missing of property zel.Derived.extra")

    def test_unknown_param_type(self):
        self.root_error("    param namespace  string", "    param namespace  zel.Missing@@",
                        "unknown type zel.Missing of parameter namespace")

    def test_unknown_result_type(self):
        self.root_error("    returns zel.Thing?", "    returns zel.Missing?@@", "unknown type zel.Missing of the result")

    def test_unknown_fault(self):
        self.root_error("    faults zel.OtherFault", "    faults zel.NoFault@@", "unknown fault type zel.NoFault")

    def test_fault_entry_not_a_fault(self):
        self.root_error("    faults zel.OtherFault", "    faults zel.Thing@@", "is a data object, not a fault")

    def test_fault_listed_twice(self):
        self.root_error("    faults zel.OtherFault olyx.fault.NotSupported zel.BaseFault",
                        "    faults zel.BaseFault olyx.fault.NotSupported zel.BaseFault@@", "listed twice")

    def test_unknown_base(self):
        self.sub_error("data zel.sub.Leaf : zel.Derived", "data zel.sub.Leaf : zel.Missing@@", "unknown base type zel.Missing")

    # duplicates
    def test_duplicate_type_name(self):
        self.root_error("data zel.Derived :", "data zel.Thing : olyx.DynamicData  wsdl=ZelThing2  since=version1@@\n\ndata zel.Derived :",
                        "duplicate type name zel.Thing")

    def test_duplicate_type_name_in_another_package(self):
        text = edit(SUB, "  prop owner  zel.Thing", "  prop owner  zel.Thing\n\ndata zel.sub.Leaf : olyx.DynamicData  wsdl=X  since=version1@@")
        self.assertSchemaError("zel.sub.zel", text, "duplicate type name zel.sub.Leaf",
                               packages={"zel.zel": ROOT, "zel.sub.zel": text})

    def test_type_named_like_external(self):
        lib = edit(LIBRARY, "packages zel\n", "packages zel\nexternal data zel.Thing class=X record=Y header=Z\n")
        write_schema(self.dir, library=lib)
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        messages = [e.message for e in cm.exception.errors]
        self.assertTrue(any("duplicate type name zel.Thing" in m for m in messages), messages)

    def test_duplicate_wsdl_name(self):
        self.root_error("data zel.Derived : zel.Thing  wsdl=ZelDerived", "data zel.Derived : zel.Thing  wsdl=ZelThing@@",
                        "wsdl name ZelThing of zel.Derived is already the wsdl name of zel.Thing")

    def test_duplicate_property(self):
        self.root_error("  prop count       int?", "  prop count       int?\n  prop count  long@@", "duplicate property count")

    def test_duplicate_method(self):
        self.root_error("    returns zel.Thing[]\n",
                        "    returns zel.Thing[]\n  method array  wsdl=ZelArray2  privilege=P  since=version1  flags=0@@\n",
                        "duplicate method array")

    def test_duplicate_param(self):
        self.root_error("    param task       moref zel.Task", "    param task       moref zel.Task\n    param task  string@@",
                        "duplicate parameter task")

    def test_duplicate_enum_value(self):
        self.root_error("enum zel.Thing.Kind  wsdl=ZelKind  since=version1\n  value first",
                        "enum zel.Thing.Kind  wsdl=ZelKind  since=version1@@\n  value first\n  value first",
                        "duplicate value 'first'")

    def test_enum_without_values(self):
        text = edit(ROOT, "  value first\n  value \"second value\"\n  value delete\n", "")
        text = edit(text, "enum zel.Thing.Kind  wsdl=ZelKind  since=version1", "enum zel.Thing.Kind  wsdl=ZelKind  since=version1@@")
        self.assertSchemaError("zel.zel", text, "has no values", packages={"zel.zel": text, "zel.sub.zel": SUB})

    # order
    def test_base_after_derived(self):
        text = edit(ROOT, "data zel.Derived : zel.Thing  wsdl=ZelDerived  since=version2\n  prop extra  string?\n", "")
        text = edit(text, "data zel.Thing :", "data zel.Derived : zel.Thing  wsdl=ZelDerived  since=version2@@\n\ndata zel.Thing :")
        self.assertSchemaError("zel.zel", text, "base zel.Thing is declared after zel.Derived",
                               packages={"zel.zel": text, "zel.sub.zel": SUB})

    def test_fault_base_after_derived(self):
        text = edit(ROOT, "fault zel.BaseFault : olyx.MethodFault  wsdl=ZelFault  since=version1\n", "")
        text = edit(text, "  prop reason  string\n", "  prop reason  string\n\nfault zel.BaseFault : olyx.MethodFault  wsdl=ZelFault  since=version1\n")
        text = edit(text, "fault zel.OtherFault : zel.BaseFault  wsdl=ZelOtherFault  since=version1",
                    "fault zel.OtherFault : zel.BaseFault  wsdl=ZelOtherFault  since=version1@@")
        self.assertSchemaError("zel.zel", text, "declared after", packages={"zel.zel": text, "zel.sub.zel": SUB})

    def test_base_in_later_package_is_fine(self):
        # a base may live in a package registered later
        root = edit(ROOT, "data zel.Derived : zel.Thing", "data zel.Derived : zel.sub.Base")
        sub = SUB + "\ndata zel.sub.Base : olyx.DynamicData  wsdl=ZelBase  since=version1\n  prop x  string\n"
        lib = self.load(packages={"zel.zel": root, "zel.sub.zel": sub})
        self.assertEqual(lib.types["zel.Derived"].base_decl.name, "zel.sub.Base")

    def test_inheritance_cycle(self):
        root = edit(ROOT, "data zel.Derived : zel.Thing", "data zel.Derived : zel.sub.Leaf")
        write_schema(self.dir, packages={"zel.zel": root, "zel.sub.zel": SUB})
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        self.assertTrue(any("inheritance cycle" in e.message for e in cm.exception.errors))

    # versions
    def test_unknown_type_version(self):
        self.root_error("data zel.Derived : zel.Thing  wsdl=ZelDerived  since=version2",
                        "data zel.Derived : zel.Thing  wsdl=ZelDerived  since=version3@@",
                        "unknown version zel.version.version3 of type zel.Derived")

    def test_unknown_property_version(self):
        self.root_error("  prop extra  string?", "  prop extra  string?  since=stable@@", "unknown version zel.version.stable")

    def test_unknown_method_version(self):
        self.root_error("method nothing  wsdl=ZelNothing  privilege=StorageProfile.View  since=version1",
                        "method nothing  wsdl=ZelNothing  privilege=StorageProfile.View  since=version9@@",
                        "unknown version zel.version.version9 of method zel.Service.nothing")

    def test_unknown_param_version(self):
        self.root_error("    param things     zel.Thing[]?        since=version2",
                        "    param things     zel.Thing[]?        since=hox.version.version2@@",
                        "unknown version hox.version.version2 of parameter things")

    def test_external_version_is_accepted(self):
        root = edit(ROOT, "  prop extra  string?", "  prop extra  string?\n  prop old  string  since=olyx.version.version0")
        write_schema(self.dir, packages={"zel.zel": root, "zel.sub.zel": SUB})
        # accepted as a version, but earlier than the type
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        self.assertIn("earlier than its type", cm.exception.message)

    def test_property_earlier_than_type(self):
        self.root_error("  prop extra  string?", "  prop extra  string?  since=version1@@",
                        "of version zel.version.version1, earlier than its type (zel.version.version2)")

    def test_param_earlier_than_method(self):
        self.root_error("    returns string[]?", "    param p  string  since=version1@@\n    returns string[]?",
                        "earlier than its method")

    # kinds
    def test_data_with_fault_base(self):
        self.root_error("data zel.Derived : zel.Thing", "data zel.Derived : zel.BaseFault@@",
                        "base zel.BaseFault of data object zel.Derived is a fault")

    def test_fault_with_data_base(self):
        self.root_error("fault zel.OtherFault : zel.BaseFault", "fault zel.OtherFault : zel.Thing@@",
                        "base zel.Thing of fault zel.OtherFault is a data object")

    def test_fault_with_external_data_base(self):
        self.root_error("fault zel.BaseFault : olyx.MethodFault", "fault zel.BaseFault : olyx.DynamicData@@",
                        "the base of a fault is a fault")

    def test_managed_with_data_base(self):
        self.root_error("managed zel.Task : olyx.ManagedObject", "managed zel.Task : olyx.DynamicData@@",
                        "base olyx.DynamicData of managed object zel.Task is a data object")

    def test_data_with_managed_base(self):
        self.root_error("data zel.Derived : zel.Thing", "data zel.Derived : zel.Task@@", "is a managed object")

    def test_moref_of_data(self):
        self.root_error("  prop extra  string?", "  prop extra  moref zel.Thing@@", "moref needs a managed object type")

    def test_moref_of_primitive(self):
        self.root_error("  prop extra  string?", "  prop extra  moref string@@", "not the primitive string")

    def test_managed_without_moref(self):
        self.root_error("  prop extra  string?", "  prop extra  zel.Task@@", "is referenced with moref")

    # packages and names
    def test_type_of_other_package(self):
        self.sub_error("data zel.sub.Leaf : zel.Derived", "data zel.Leaf : zel.Derived@@",
                       "type zel.Leaf belongs to package zel, not zel.sub")

    def test_type_outside_packages(self):
        self.root_error("data zel.Derived : zel.Thing", "data other.Derived : zel.Thing@@",
                        "not in package zel")

    def test_nested_in_unknown(self):
        self.root_error("data zel.Derived : zel.Thing", "data zel.Nowhere.Derived : zel.Thing@@",
                        "nested in zel.Nowhere, which is not a type of package zel")

    def test_nested_in_enum(self):
        text = edit(ROOT, "managed zel.Task :", "enum zel.Thing.Kind.Inner  wsdl=ZelInner  since=version1@@\n  value x\n\nmanaged zel.Task :")
        self.assertSchemaError("zel.zel", text, "nested in the enumeration", packages={"zel.zel": text, "zel.sub.zel": SUB})

    def test_unit_mismatch(self):
        self.sub_error(r"unit LIBRARIES\olyx\generic\beta\zel\sub\typeinfo",
                       r"unit LIBRARIES\olyx\generic\beta\zel\typeinfo@@",
                       r"expected LIBRARIES\olyx\generic\beta\zel\sub\typeinfo")

    # library.zel
    def test_designated_unknown(self):
        self.library_error("designated zel.version.version2 zel.version.version2 zel.version.version2 zel.version.version1",
                           "designated zel.version.version2 zel.version.version2 zel.version.version5 zel.version.version1@@",
                           "designated version zel.version.version5 is not in the version registry")

    def test_designated_count(self):
        self.library_error("designated zel.version.version2 zel.version.version2 zel.version.version2 zel.version.version1",
                           "designated zel.version.version2 zel.version.version1@@", "four versions, not 2")

    def test_relation_unknown_version(self):
        self.library_error("relation zel.version.version2 zel.version.version1",
                           "relation zel.version.version7 zel.version.version1@@", "not in the version registry")

    def test_relation_parent_of_unknown_namespace(self):
        self.library_error("relation zel.version.version2 zel.version.version1",
                           "relation zel.version.version2 foo.version.version1@@", "nor a version of a dependency")

    def test_duplicate_version(self):
        self.library_error("designated", "version zel.version.version1 id=1 namespace=zel task=zel.Task second-namespace=zel flags=0@@\ndesignated",
                           "duplicate version zel.version.version1")

    def test_task_type_not_managed(self):
        self.library_error("version zel.version.version2   id=2.0       namespace=zel task=zel.Task",
                           "version zel.version.version2   id=2.0       namespace=zel task=zel.Thing@@",
                           "task type zel.Thing of version zel.version.version2 is not a managed object type")

    def test_external_version_of_unknown_namespace(self):
        self.library_error("external-version olyx.version.version0", "external-version foo.version.version0@@",
                           "not a version of a dependency")

    def test_external_type_of_unknown_namespace(self):
        self.library_error("external data     olyx.KeyAnyValue", "external data  foo.KeyAnyValue@@",
                           "not of a dependency namespace")

    def test_all_errors_listed(self):
        text = edit(ROOT, "  prop extra  string?", "  prop extra  zel.Missing\n  prop extra  string")
        write_schema(self.dir, packages={"zel.zel": text, "zel.sub.zel": SUB})
        with self.assertRaises(SchemaError) as cm:
            load_library(self.dir)
        messages = [e.message for e in cm.exception.errors]
        self.assertEqual(len(messages), 2, messages)
        self.assertIn("unknown type zel.Missing", messages[0])
        self.assertIn("duplicate property extra", messages[1])
        self.assertIs(cm.exception.errors[0], cm.exception)


if __name__ == "__main__":
    unittest.main()


class HandWrittenClassesAndTheRuntime(SchemaTestCase):
    """A type whose class is written by hand, and the runtime's own library."""

    root_error = SyntaxErrors.root_error

    def test_a_hand_written_class_names_its_header_too(self):
        self.root_error("data zel.Thing : olyx.DynamicData  wsdl=ZelThing  since=version1",
                        "data zel.Thing : olyx.DynamicData  wsdl=ZelThing  since=version1  class=Zel::Thing@@",
                        "needs both class= and header=")

    def test_a_getter_is_an_identifier(self):
        self.root_error("  prop count       int?", '  prop count       int?  getter="Get Count"@@',
                        "bad getter name")

    def test_only_the_runtime_has_a_fault_derived_from_a_data_object(self):
        err = self.root_error("data zel.Thing : olyx.DynamicData  wsdl=ZelThing  since=version1",
                              "fault zel.Thing : olyx.DynamicData  wsdl=ZelThing  since=version1@@",
                              "the base of a fault is a fault")
        self.assertIn("olyx.DynamicData", err.message)

    def test_the_runtime_has_no_version_registry(self):
        text = mark(LIBRARY.replace("namespace Zel", "namespace Zel\nruntime@@", 1))
        self.assertSchemaError("library.zel", text, "the runtime's library has no version registry", library=text)


LAYER_LIBRARY = r"""
# a library of the runtime's layer
library olyx
namespace Lumo::Wire
unit-root lumo-wire
runtime-layer lumo-wire
external-version olyx.version.version0
packages olyx.fault
external fault  olyx.MethodFault  class=Lumo::MethodFault  record=gOlyxMethodFaultTypeInfo  header=Lumo/MethodFault.h
"""

LAYER_PACKAGE = r"""
package olyx.fault
unit lumo-wire\olyx\fault\typeinfo

fault olyx.fault.WireFormat : olyx.MethodFault  wsdl=WireFormatFault  since=version0  generated-class=Lumo::Wire::WireFormatFault  header=Lumo/Wire/WireFormatFault.h
  prop reason  string?
"""


class GeneratedClassesAndTheRuntimeLayer(SchemaTestCase):
    """A class generated under the name and header the schema gives, and a
    library of the runtime's layer."""

    root_error = SyntaxErrors.root_error
    validation_error = ValidationErrors.root_error
    OTHER_FAULT = "fault zel.OtherFault : zel.BaseFault  wsdl=ZelOtherFault  since=version1"

    def layer_error(self, old, new, fragment):
        text = edit(LAYER_LIBRARY, old, new)
        return self.assertSchemaError("library.zel", text, fragment, library=text,
                                      packages={"olyx.fault.zel": LAYER_PACKAGE})

    def test_a_generated_class_takes_the_given_name_and_header(self):
        text = ROOT.replace(self.OTHER_FAULT, self.OTHER_FAULT + "  generated-class=Zel::Faults::Other"
                            "  header=Zel/Faults/Other.h", 1)
        lib = self.load(packages={"zel.zel": text, "zel.sub.zel": SUB})
        decl = lib.types["zel.OtherFault"]
        self.assertEqual((decl.cpp_class, decl.header, decl.class_generated),
                         ("Zel::Faults::Other", "Zel/Faults/Other.h", True))
        self.assertFalse(lib.types["zel.BaseFault"].class_generated)

    def test_a_generated_class_is_qualified_has_a_header_of_its_own_and_is_not_hand_written(self):
        for attrs, fragment in (("generated-class=Zel::Other", "needs header=<relative path>.h"),
                                ("generated-class=Zel::Other  header=Zel/Other.hpp", "needs header="),
                                ("generated-class=Zel::Other  header=../Other.h", "needs header="),
                                ("generated-class=Other  header=Zel/Other.h", "bad generated class name"),
                                ("generated-class=Zel::Other  class=Zel::Other  header=Zel/Other.h",
                                 "exclude each other")):
            with self.subTest(attrs=attrs):
                self.root_error(self.OTHER_FAULT, self.OTHER_FAULT + "  " + attrs + "@@", fragment)

    def test_only_a_data_object_or_fault_standing_alone_names_its_generated_class(self):
        self.root_error("enum zel.Thing.Kind  wsdl=ZelKind  since=version1",
                        "enum zel.Thing.Kind  wsdl=ZelKind  since=version1  generated-class=Zel::Kind"
                        "  header=Zel/Kind.h@@", "data object or fault only")
        # zel.Thing holds nested types; zel.Thing.Part is nested.
        for name, wsdl in (("zel.Thing", "ZelThing"), ("zel.Thing.Part", "ZelThingPart")):
            with self.subTest(name=name):
                line = "data %s : olyx.DynamicData  wsdl=%s  since=" % (name, wsdl)
                since = "version1" if name == "zel.Thing" else "version2"
                self.validation_error(line + since, line + since + "  generated-class=Zel::Other"
                                      "  header=Zel/Other.h@@", "stands alone")

    def test_a_runtime_layer_library_names_its_loader_and_has_no_version_registry(self):
        lib = self.load(library=LAYER_LIBRARY, packages={"olyx.fault.zel": LAYER_PACKAGE})
        self.assertEqual((lib.runtime, lib.runtime_layer, lib.loader_name), (False, "lumo-wire", "lumo-wire"))
        self.assertEqual(lib.namespace, "Lumo::Wire")
        self.layer_error("runtime-layer lumo-wire", "runtime-layer lumo-wire@@\ndesignated olyx.version.version0",
                         "no version registry")
        self.layer_error("runtime-layer lumo-wire", "runtime-layer lumo-wire@@\nruntime", "exclude each other")
        self.layer_error("runtime-layer lumo-wire", 'runtime-layer "lumo wire"@@', "bad loader name")
        self.layer_error("namespace Lumo::Wire", "namespace Lumo::@@", "bad namespace name")
