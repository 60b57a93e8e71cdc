"""The generator on the mini schema: rules visible in the generated text,
deterministic output and refusal of include cycles."""

import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from zelgen import names  # noqa: E402
from zelgen.emit_headers import HeaderError  # noqa: E402
from zelgen.generate import generate  # noqa: E402
from zelgen.parser import load_library  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MINI = os.path.join(HERE, "mini")
ROOT = "LIBRARIES/olyx/generic/beta"


def mini_files():
    return generate(load_library(MINI))


class NamingRulesTest(unittest.TestCase):
    def test_wire_names_become_classes_symbols_and_constants(self):
        self.assertEqual(names.cpp_qualified("zel.profile.CapabilityBasedProfile"),
                         "Zel::Profile::CapabilityBasedProfile")
        self.assertEqual(names.record_symbol("zel.ServerObjectRef.ObjectType"), "gZelServerObjectRefObjectTypeTypeInfo")
        self.assertEqual(names.method_objects_symbol("zel.profile.ProfileManager"),
                         "gZelProfileProfileManagerMethodObjects")
        self.assertEqual(names.enum_constant("DiskProvisioningType", "per_policy"), "DISKPROVISIONINGTYPE_PER_POLICY")
        self.assertEqual(names.enum_constant("ObjectType", "virtualDiskUUID"), "OBJECTTYPE_VIRTUALDISKUUID")
        self.assertEqual(names.method_constant("queryAssociatedEntity"), "METHOD_QUERYASSOCIATEDENTITY")

    def test_keywords_get_other_identifiers(self):
        self.assertEqual(names.member("namespace"), "namespace_")
        self.assertEqual(names.identifier("operator"), "operator_")
        self.assertEqual(names.identifier("name"), "name")
        self.assertEqual(names.enumerator("2x-y"), "_2x_y")


class GeneratedMiniTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = mini_files()

    def text(self, path):
        return self.files["%s/%s" % (ROOT, path)]

    def test_one_pair_of_headers_per_top_level_type_and_two_units_per_package(self):
        headers = sorted(p for p in self.files if p.endswith(".h"))
        tops = ["BaseFault", "Color", "DeepFault", "Empty", "Everything", "NamedFault", "Service", "Sub/Base",
                "Sub/Derived", "Sub/Other", "Task"]
        expected = sorted("%s/Olyx/Mini/%s%s" % (ROOT, t, s) for t in tops for s in ("-decl.h", ".h"))
        self.assertEqual(headers, expected)
        for unit in ("mini/typeinfo.cpp", "mini/classes.cpp", "mini/sub/typeinfo.cpp", "mini/sub/classes.cpp",
                     "mini/registration.cpp"):
            self.assertIn("%s/%s" % (ROOT, unit), self.files)

    def test_keyword_properties_keep_their_accessor_names(self):
        decl = self.text("Olyx/Mini/Everything-decl.h")
        self.assertIn("const std::string& GetNamespace() const { return namespace_; }", decl)
        self.assertIn("const Kestrum::Optional<std::string>& GetOperator() const { return operator_; }", decl)
        self.assertIn("std::string namespace_;", decl)

    def test_each_property_kind_gets_its_accessor_family(self):
        decl = self.text("Olyx/Mini/Everything-decl.h")
        for member in ("bool IsFlag() const", "const Kestrum::Optional<bool>& IsMaybeFlag() const",
                       "bool IsMaybeFlag(bool& value) const", "int32_t GetCount() const",
                       "const Kestrum::Optional<int64_t>& GetMaybeTotal() const", "void UnsetMaybeTotal()",
                       "const Kestrum::System::DateTime& GetWhen() const",
                       "const Kestrum::Optional<Lumo::TypeName>& GetKind() const",
                       "Lumo::MoRef* GetService() const;", "Lumo::DataArray<Mini::Everything::Part>* GetParts();",
                       "Lumo::Array<std::string>* GetPtrLabels();", "bool IsSetValues() const;",
                       "void SwapChild(Kestrum::Ref<Mini::Everything::Part>* const value);",
                       "void SetText(const char* value)"):
            self.assertIn(member, decl)
        # Reference-held accessors are defined in the full header, value-typed ones in the declaration.
        full = self.text("Olyx/Mini/Everything.h")
        self.assertIn("inline Mini::Everything::Part* Mini::Everything::GetChild()", full)
        self.assertNotIn("GetText", full)

    def test_nested_types_live_in_the_enclosing_headers(self):
        decl = self.text("Olyx/Mini/Everything-decl.h")
        self.assertIn("class Part;", decl)
        self.assertIn("class Everything::SpecialPart : public Mini::Everything::Part {", decl)
        self.assertIn("enum class Mode : int32_t {", decl)
        self.assertIn("static const char MODE_PER_POLICY[];", decl)
        self.assertFalse(any("Part-decl" in p for p in self.files))

    def test_package_cycles_only_forward_declare(self):
        decl = self.text("Olyx/Mini/Everything-decl.h")
        self.assertIn("namespace Mini::Sub {\nclass Other;", decl)
        self.assertNotIn("Sub/Other-decl.h", decl)
        self.assertIn("#include <Olyx/Mini/Sub/Other-decl.h>", self.text("Olyx/Mini/Everything.h"))

    def test_every_result_form(self):
        decl = self.text("Olyx/Mini/Service-decl.h")
        for signature in ("virtual void Nothing() = 0;",
                          "virtual void One(Kestrum::Ref<Mini::Everything>& result) = 0;",
                          "virtual void Many(Kestrum::Ref<Lumo::DataArray<Mini::Everything::Part>>& result) = 0;",
                          "virtual void Words(Kestrum::Ref<Lumo::Array<std::string>>& result) = 0;",
                          "virtual std::string Word() = 0;",
                          "virtual Kestrum::Optional<std::string> MaybeWord() = 0;",
                          "virtual bool Truth() = 0;",
                          "virtual void ServiceRef(Kestrum::Ref<Lumo::MoRef>& result) = 0;",
                          "virtual void GetState(Kestrum::Ref<Mini::Everything>& result) = 0;"):
            self.assertIn(signature, decl)
        self.assertIn("virtual void Delete(const std::string& namespace_, const Kestrum::Optional<std::string>& "
                      "operator_, bool enable, const Kestrum::Optional<bool>& maybe, Mini::Everything* item_, "
                      "const Kestrum::Optional<std::string>& result_, Lumo::DataArray<Mini::Everything>* items, "
                      "Lumo::Array<std::string>* names) = 0;", decl)
        # The property getter comes first in the virtual order, then the methods.
        self.assertLess(decl.index("GetState"), decl.index("virtual void Nothing"))

    def test_records_carry_the_particulars(self):
        unit = self.text("mini/typeinfo.cpp")
        self.assertIn('{"text", nullptr, "", nullptr, 0x0, "mini.version.one"},', unit)
        self.assertIn('{"operator", nullptr, nullptr, nullptr, 0x2, "mini.version.two"},', unit)
        self.assertIn('{"state", "System.Anonymous", nullptr, &gMiniEverythingTypeInfo, 0x4, "mini.version.one"},',
                      unit)
        self.assertIn('{"delete", "Delete", "Mini.Use", nullptr,', unit)
        self.assertIn('{"result", nullptr, nullptr, 0x0, "olyx.version.version0"}', unit)
        self.assertIn('const Lumo::TypeInfo gMiniEverythingSpecialPartTypeInfo = {16, "mini.Everything.SpecialPart", '
                      '"MiniTheSpecialPart", "mini.version.two"};', unit)
        self.assertIn("Lumo::ManagedMethod* gMiniServiceMethodObjects[12] = {};", unit)
        self.assertIn('constexpr const char kUnit[] = "LIBRARIES\\\\olyx\\\\generic\\\\beta\\\\mini\\\\typeinfo";',
                      unit)

    def test_external_records_are_stored_at_load_not_in_the_constant_data(self):
        unit = self.text("mini/typeinfo.cpp")
        self.assertIn("kMiniEverythingProps[0].type = &gStringTypeInfo;", unit)
        self.assertIn("kMiniEverythingData.parent = &gOlyxDynamicDataTypeInfo;", unit)
        self.assertIn("kMiniService_deleteFaults[1] = &gOlyxFaultInvalidArgumentTypeInfo;", unit)
        stores = re.findall(r"^  \S+ = &g\w+TypeInfo;$", unit, re.M)
        self.assertGreater(len(stores), 20)
        # Internal pointers stay constant.
        self.assertIn("{\"child\", nullptr, nullptr, &gMiniEverythingPartTypeInfo, 0x0,", unit)

    def test_registration_runs_the_packages_in_order_and_only_the_root_carries_versions(self):
        reg = self.text("mini/registration.cpp")
        self.assertLess(reg.index("RegisterMini();"), reg.index("RegisterMiniSub();"))
        self.assertIn('new Lumo::TypeInfoLoader("mini", &kVersions, &LoadTypes)', self.text("mini/typeinfo.cpp"))
        self.assertIn('new Lumo::TypeInfoLoader("mini", nullptr, &LoadTypes)', self.text("mini/sub/typeinfo.cpp"))

    def test_every_class_property_and_method_has_a_comment_with_its_particulars(self):
        headers = {path: text for path, text in self.files.items() if path.endswith("-decl.h")}
        for path, text in headers.items():
            lines = text.splitlines()
            for number, line in enumerate(lines):
                declares = re.match(r"\s*(class \w+(::\w+)? : public|enum class|virtual .* = 0;)", line)
                if declares:
                    self.assertTrue(lines[number - 1].strip().startswith("///"),
                                    "%s:%d has no comment: %s" % (path, number + 1, line))
        everything = headers[ROOT + "/Olyx/Mini/Everything-decl.h"]
        self.assertIn("/// Data object mini.Everything (wsdl name MiniEverything), since mini.version.one.",
                      everything)
        self.assertIn("/// Property maybeText: string, optional, since mini.version.one.", everything)
        self.assertIn("/// Property operator: string, optional, since mini.version.two.", everything)
        self.assertIn("/// Property parts: array of mini.Everything.Part, required", everything)
        service = " ".join(line.strip().lstrip("/ ") for line in headers[ROOT + "/Olyx/Mini/Service-decl.h"].splitlines())
        self.assertIn("Property state: mini.Everything, required, since mini.version.one; privilege "
                      "System.Anonymous.", service)
        self.assertIn("Method delete (wsdl name Delete), since mini.version.one; privilege Mini.Use.", service)
        self.assertIn("Faults: mini.NamedFault, olyx.fault.InvalidArgument.", service)
        self.assertIn("Method maybeOne (wsdl name MiniMaybeOne), since mini.version.one; privilege Mini.Use. "
                      "Result: mini.Everything, optional. Declares no fault.", service)

    def test_fault_exceptions_take_inherited_properties_first(self):
        decl = self.text("Olyx/Mini/DeepFault-decl.h")
        self.assertIn("class Exception : public Mini::NamedFault::Exception {", decl)
        self.assertIn("Exception(const std::string& name, const Kestrum::Optional<std::string>& hint, "
                      "Lumo::DataArray<Mini::Everything::Part>* parts);", decl)
        base = self.text("Olyx/Mini/BaseFault-decl.h")
        self.assertIn("class Exception : public Lumo::MethodFault::Exception {", base)
        self.assertIn("    Exception();", base)
        self.assertNotIn("_DiffProperties", base)


class DeterminismTest(unittest.TestCase):
    def test_generating_twice_gives_identical_bytes(self):
        self.assertEqual(mini_files(), mini_files())

    def test_the_real_schema_is_deterministic_too(self):
        schema = os.path.join(HERE, "..", "..", "..", "zel-types", "schema")
        first = generate(load_library(schema))
        second = generate(load_library(schema))
        self.assertEqual(first, second)
        self.assertEqual(len([p for p in first if p.endswith("-decl.h")]), 126)


class IncludeCycleTest(unittest.TestCase):
    def test_nested_types_that_would_make_headers_include_each_other_are_refused(self):
        with tempfile.TemporaryDirectory() as scratch:
            for name in os.listdir(MINI):
                shutil.copy(os.path.join(MINI, name), scratch)
            path = os.path.join(scratch, "mini.sub.zel")
            with open(path, "a") as out:
                out.write("\ndata mini.sub.Other.Inner : olyx.DynamicData  wsdl=MiniInner  since=one\n"
                          "  prop back  mini.Everything.Part?\n")
            with open(os.path.join(scratch, "mini.zel"), "a") as out:
                out.write("\ndata mini.Everything.Holder : olyx.DynamicData  wsdl=MiniHolder  since=one\n"
                          "  prop inner  mini.sub.Other.Inner?\n")
            with self.assertRaises(HeaderError):
                generate(load_library(scratch))


if __name__ == "__main__":
    unittest.main()


RUNTIME = os.path.join(HERE, "..", "..", "..", "platform", "lumo", "schema")


class RuntimeLibraryTest(unittest.TestCase):
    """The runtime's own schema (platform/lumo/schema): records and accessor
    functions like a type library's, around them what the runtime needs."""

    @classmethod
    def setUpClass(cls):
        cls.files = generate(load_library(RUNTIME), header_prefix="")

    def test_hand_written_classes_get_records_only(self):
        # olyx.KeyAnyValue and olyx.MethodFault are written by hand; the
        # olyx.fault classes are generated, in the runtime's namespace and folder.
        self.assertEqual(sorted(self.files), [
            "lumo/Lumo/Fault/InvalidArgument-decl.h", "lumo/Lumo/Fault/InvalidArgument.h",
            "lumo/Lumo/Fault/NotSupported-decl.h", "lumo/Lumo/Fault/NotSupported.h",
            "lumo/olyx/fault/classes.cpp", "lumo/olyx/fault/typeinfo.cpp", "lumo/olyx/typeinfo.cpp"])
        unit = self.files["lumo/olyx/typeinfo.cpp"]
        self.assertIn("#include <Lumo/KeyAnyValue.h>", unit)
        self.assertIn("static_cast<const Lumo::KeyAnyValue*>(object)", unit)
        # A getter named by the schema where the class departs from the rule.
        self.assertIn("self->GetMsgOptional().GetValue()", unit)

    def test_records_name_the_runtimes_records_directly_and_stay_writable_as_declared(self):
        unit = self.files["lumo/olyx/fault/typeinfo.cpp"]
        self.assertIn("Lumo::TypeInfo gOlyxFaultInvalidArgumentTypeInfo = {17,", unit)
        self.assertNotIn("const Lumo::TypeInfo gOlyx", unit)
        self.assertIn("extern Lumo::TypeInfo gOlyxMethodFaultTypeInfo;", unit)
        self.assertIn("const Lumo::DataTypeInfo kOlyxFaultInvalidArgumentData = {\n"
                      "    &gOlyxFaultInvalidArgumentTypeInfo, &gOlyxMethodFaultTypeInfo,", unit)
        self.assertIn('{"invalidProperty", nullptr, nullptr, &gStringTypeInfo, 0x2, "olyx.version.version0"}', unit)
        self.assertNotIn("CompleteRecords", unit)
        # A type without own properties shares the always-true accessor.
        self.assertIn("kNoProps,\n    nullptr, nullptr, nullptr, nullptr,\n    &Lumo::Detail::AlwaysSet, nullptr,",
                      unit)

    def test_no_loader_the_runtime_creates_the_types_and_its_accessors_ask_for_them(self):
        unit = self.files["lumo/olyx/fault/typeinfo.cpp"]
        self.assertNotIn("TypeInfoLoader", unit)
        self.assertIn("void CreateOlyxFaultTypes() {\n"
                      "  sTypes[0] = CreateDataObjectTypeNoEnsure(&kOlyxFaultInvalidArgumentData);\n"
                      "  sTypes[1] = CreateDataObjectTypeNoEnsure(&kOlyxFaultNotSupportedData);\n}", unit)
        self.assertIn("DataObjectType* GetDoType<Lumo::Fault::NotSupported>() {\n"
                      "  Lumo::Detail::EnsureRuntimeTypes();", unit)
        self.assertIn('constexpr const char kUnit[] = "lumo\\\\olyx\\\\fault\\\\typeinfo";', unit)
        # The runtime instantiates the arrays of its primitives itself.
        self.assertNotIn("Lumo::Array<std::string>", unit)
        self.assertIn("template class Lumo::DataArray<Lumo::Fault::InvalidArgument>;", unit)

    def test_generated_classes_stay_out_of_the_bindings_helpers_and_keep_hand_written_bases_to_themselves(self):
        header = self.files["lumo/Lumo/Fault/InvalidArgument-decl.h"]
        # The bindings' helpers include every runtime header, this one too.
        self.assertNotIn("BindingSupport.h", header)
        self.assertIn("#include <Lumo/MethodFault.h>", header)
        self.assertIn("extern Lumo::TypeInfo gOlyxFaultInvalidArgumentTypeInfo;", header)
        self.assertIn("namespace Lumo::Fault {", header)
        self.assertIn("class InvalidArgument : public Lumo::MethodFault {", header)
        # The value constructor takes the fault's own properties only: the
        # hand-written base's are set through its own accessors.
        self.assertIn("explicit Exception(const Kestrum::Optional<std::string>& invalidProperty);", header)
        self.assertIn("class Exception : public Lumo::MethodFault::Exception {", header)
        self.assertIn("#include <Lumo/BindingSupport.h>", self.files["lumo/olyx/fault/classes.cpp"])


LAYER = os.path.join(HERE, "..", "..", "..", "platform", "lumo-wire", "schema")


class RuntimeLayerLibraryTest(unittest.TestCase):
    """A library of the runtime's layer (platform/lumo-wire/schema): a type
    library's records, class and loader, its types made on first use, and a
    class named by the schema."""

    @classmethod
    def setUpClass(cls):
        cls.files = generate(load_library(LAYER), header_prefix="")
        cls.unit = cls.files["lumo-wire/olyx/fault/typeinfo.cpp"]
        cls.decl = cls.files["lumo-wire/Lumo/Wire/Generated/WireFormatFault-decl.h"]

    def test_the_class_takes_the_schemas_name_and_header(self):
        self.assertEqual(sorted(self.files), [
            "lumo-wire/Lumo/Wire/Generated/WireFormatFault-decl.h", "lumo-wire/Lumo/Wire/Generated/WireFormatFault.h",
            "lumo-wire/olyx/fault/classes.cpp", "lumo-wire/olyx/fault/typeinfo.cpp", "lumo-wire/olyx/registration.cpp"])
        self.assertIn("namespace Lumo::Wire {", self.decl)
        self.assertIn("class WireFormatFault : public Lumo::Fault::InvalidArgument {", self.decl)
        self.assertIn("WireFormatFault(const WireFormatFault& other);", self.decl)
        self.assertIn("as WireFormatFault::Exception; GetFault()", self.decl)
        self.assertIn('"lumo-wire/Lumo/Wire/Generated/WireFormatFault-decl"', self.decl)
        self.assertIn("DataObjectType* GetDoType<Lumo::Wire::WireFormatFault>();", self.decl)
        self.assertIn("#include <Lumo/Wire/Generated/WireFormatFault-decl.h>",
                      self.files["lumo-wire/Lumo/Wire/Generated/WireFormatFault.h"])
        classes = self.files["lumo-wire/olyx/fault/classes.cpp"]
        self.assertIn("Lumo::Wire::WireFormatFault::WireFormatFault() = default;", classes)
        self.assertIn("Lumo::Wire::WireFormatFault::Exception::Exception(WireFormatFault* fault)\n"
                      "    : Lumo::Fault::InvalidArgument::Exception(", classes)

    def test_a_fault_of_another_librarys_fault_is_caught_by_that_faults_exception(self):
        # The runtime's olyx.fault.InvalidArgument, not the root fault, is the base.
        self.assertIn("class Exception : public Lumo::Fault::InvalidArgument::Exception {", self.decl)
        self.assertIn("explicit Exception(const Kestrum::Optional<std::string>& reason);", self.decl)

    def test_records_are_constant_and_completed_once_before_the_types_are_first_made(self):
        self.assertIn('const Lumo::TypeInfo gOlyxFaultWireFormatTypeInfo = {17, "olyx.fault.WireFormat", '
                      '"WireFormatFault", "olyx.version.version0"};', self.unit)
        self.assertIn('{"reason", nullptr, nullptr, nullptr, 0x2, "olyx.version.version0"},', self.unit)
        self.assertIn("kOlyxFaultWireFormatProps[0].type = &gStringTypeInfo;\n"
                      "  kOlyxFaultWireFormatData.parent = &gOlyxFaultInvalidArgumentTypeInfo;", self.unit)
        self.assertIn("  std::call_once(once, [] {\n"
                      "    CompleteRecords();\n"
                      "    sTypes[0] = Lumo::CreateDataObjectType(&kOlyxFaultWireFormatData);\n"
                      "    sCreated.store(true, std::memory_order_release);\n"
                      "  });", self.unit)

    def test_types_are_made_on_first_use_and_handed_over_by_the_librarys_loader(self):
        self.assertIn("DataObjectType* GetDoType<Lumo::Wire::WireFormatFault>() {\n"
                      "  if (!sCreated.load(std::memory_order_acquire)) CreateTypes();", self.unit)
        self.assertNotIn("_versionInfoIsAvailable", self.unit)
        self.assertIn("const Lumo::Type* const* LoadTypes(int& count) {\n  CreateTypes();\n  count = 1;", self.unit)
        self.assertIn('void RegisterOlyxFault() {\n  sLoader = new Lumo::TypeInfoLoader("lumo-wire", nullptr, '
                      '&LoadTypes);\n}', self.unit)
        registration = self.files["lumo-wire/olyx/registration.cpp"]
        self.assertIn("namespace Lumo::Wire::Detail {", registration)
        self.assertIn("RegisterOlyxFault();", registration)
        self.assertNotIn("completes", registration)
        # The runtime instantiates the arrays of its own classes.
        self.assertNotIn("Lumo::Array<std::string>", self.unit)
        self.assertIn("template class Lumo::DataArray<Lumo::Wire::WireFormatFault>;", self.unit)
