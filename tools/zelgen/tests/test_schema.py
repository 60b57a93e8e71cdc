"""The real schema (zel-types/schema): its totals and particulars."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from zelgen.parser import load_library  # noqa: E402

SCHEMA_DIR = os.path.join(HERE, "..", "..", "..", "zel-types", "schema")

# Packages in registration order: (name, data objects and faults, enumerations, managed objects).
PACKAGES = [
    ("zel", 5, 2, 4),
    ("zel.association", 1, 0, 1),
    ("zel.association.provider", 1, 0, 1),
    ("zel.auth", 0, 0, 1),
    ("zel.capability", 12, 1, 1),
    ("zel.capability.provider", 11, 1, 0),
    ("zel.capability.types", 4, 3, 0),
    ("zel.compliance", 6, 3, 2),
    ("zel.compliance.provider", 1, 0, 1),
    ("zel.fault", 14, 0, 0),
    ("zel.placement", 17, 1, 3),
    ("zel.profile", 36, 6, 2),
    ("zel.profile.provider", 2, 0, 1),
    ("zel.provider", 1, 1, 1),
    ("zel.replication", 1, 0, 1),
]

VERSIONS = [  # name, identifier
    ("zel.version.version1", "1.0"),
    ("zel.version.version2", "2.0"),
    ("zel.version.version11", "6.5"),
    ("zel.version.version12", "6.7"),
    ("zel.version.version13", "6.7.1"),
    ("zel.version.version14", "6.7.2"),
    ("zel.version.stable", "stable"),
    ("zel.version.unstable", "unstable"),
    ("zel.version.legacy", "legacy"),
]

RELATIONS = [
    ("zel.version.version1", "olyx.version.version2"),
    ("zel.version.version2", "zel.version.version1"),
    ("zel.version.version11", "zel.version.version2"),
    ("zel.version.version11", "hox.version.version11"),
    ("zel.version.version12", "zel.version.version11"),
    ("zel.version.version12", "hox.version.version12"),
    ("zel.version.version13", "zel.version.version12"),
    ("zel.version.version13", "hox.version.version13"),
    ("zel.version.version14", "zel.version.version13"),
    ("zel.version.version14", "hox.version.version14"),
    ("zel.version.stable", "zel.version.version14"),
    ("zel.version.stable", "hox.version.stable"),
    ("zel.version.unstable", "zel.version.stable"),
    ("zel.version.unstable", "hox.version.unstable"),
    ("zel.version.legacy", "zel.version.unstable"),
    ("zel.version.legacy", "hox.version.legacy"),
]

# What each version introduces; a property, method or parameter counts when
# its version differs from its owner's.
INTRODUCTIONS = {
    "zel.version.version1": {"types": 101, "properties": 0, "methods": 0, "params": 0},
    "zel.version.version2": {"types": 10, "properties": 1, "methods": 14, "params": 0},
    "zel.version.version11": {"types": 20, "properties": 18, "methods": 9, "params": 3},
    "zel.version.version12": {"types": 7, "properties": 1, "methods": 2, "params": 0},
    "zel.version.version14": {"types": 2, "properties": 0, "methods": 1, "params": 0},
    "zel.version.unstable": {"types": 9, "properties": 5, "methods": 4, "params": 1},
}

# Wsdl names of types that are not "Zel" plus the last component of the name.
IRREGULAR_TYPE_WSDL = {
    "zel.AtomFeedQsProvider": "ZelAtomFeedProvider",
    "zel.ZelDebugManager": "ZelDebugManager",
    "zel.fault.ZELFault": "ZelFault",
    "zel.fault.ProfileStorageFault": "ZelFaultProfileStorageFault",
    "zel.fault.InvalidLogin": "ZelFaultInvalidLogin",
    "zel.fault.NotFound": "ZelFaultNotFound",
    "zel.provider.AtomFeedQsProviderType": "ZelAtomFeedQsProviderTye",
    "zel.profile.ApplyProfileOutcome": "ZelProfileApplyOutcome",
    "zel.profile.CapabilityBasedProfile": "ZelCapabilityProfile",
    "zel.profile.DefaultCapabilityBasedProfile": "ZelDefaultCapabilityProfile",
    "zel.profile.CapabilityBasedProfileCreateSpec": "ZelCapabilityProfileCreateSpec",
    "zel.profile.CapabilityBasedProfileUpdateSpec": "ZelCapabilityProfileUpdateSpec",
    "zel.profile.ChangeAssociationOp": "ZelProfileChangeAssociationOp",
    "zel.profile.AssociateOp": "ZelProfileAssociateOp",
    "zel.profile.DefaultProfileAssociateOp": "ZelProfileDefaultProfileAssociateOp",
    "zel.profile.DissociateOp": "ZelProfileDissociateOp",
    "zel.profile.FcdDeleteOp": "ZelProfileFcdDeleteOp",
    "zel.profile.FcdDetachOp": "ZelProfileFcdDetachOp",
    "zel.profile.PmemPolicyInfo": "PmemPolicyInfo",
    "zel.profile.PolicySummaryResult": "ZelProfilePolicySummaryResult",
    "zel.profile.QueryProfileResultInternal": "ZelProfileQueryProfileResultInternal",
    "zel.profile.ReconfigOutcome": "ZelProfileReconfigOutcome",
    "zel.profile.ResourceType": "ZelProfileResourceType",
    "zel.profile.SubProfileCapabilityConstraints": "ZelCapabilitySubProfileConstraints",
    "zel.profile.SubProfileCapabilityConstraints.SubProfile": "ZelCapabilitySubProfile",
    "zel.profile.SubProfileCapabilityConstraints.SubProfileWithCandidates": "ZelCapabilitySubProfileWithCandidates",
    "zel.profile.IofilterInfo.FilterType": "ZelIofilterInfoFilterType",
    "zel.profile.ResourceTypeEnum": "ZelProfileResourceTypeEnum",
    "zel.profile.VmAssociations.Operation": "ZelVmOperation",
    "zel.profile.ProfileManager": "ZelProfileProfileManager",
    "zel.capability.ConstraintInstance": "ZelCapabilityConstraintInstance",
    "zel.capability.PropertyInstance": "ZelCapabilityPropertyInstance",
    "zel.capability.PropertyMetadata": "ZelCapabilityPropertyMetadata",
    "zel.capability.TypeInfo": "ZelCapabilityTypeInfo",
    "zel.capability.GenericTypeInfo": "ZelCapabilityGenericTypeInfo",
    "zel.capability.Operator": "ZelCapabilityOperator",
    "zel.capability.CapabilityMetadata.UniqueId": "ZelCapabilityMetadataUniqueId",
    "zel.capability.types.DiscreteSet": "ZelCapabilityDiscreteSet",
    "zel.capability.types.Range": "ZelCapabilityRange",
    "zel.capability.types.TimeSpan": "ZelCapabilityTimeSpan",
    "zel.capability.types.DescriptiveValue": "ZelCapabilityDescription",
    "zel.capability.types.TimeUnitEnum": "ZelCapabilityTimeUnitType",
    "zel.capability.types.BuiltinTypesEnum": "ZelBuiltinType",
    "zel.capability.types.BuiltinGenericTypesEnum": "ZelBuiltinGenericType",
    "zel.capability.provider.CapabilityObjectMetadataInfo": "ZelCapabilityMetadataInfo",
    "zel.capability.provider.CapabilityObjectMetadataPerCategory": "ZelCapabilityMetadataPerCategory",
    "zel.capability.provider.CapabilityObjectSchema": "ZelCapabilitySchema",
    "zel.capability.provider.CapabilityObjectSchema.VendorInfo": "ZelCapabilitySchemaVendorInfo",
    "zel.capability.provider.CapabilityObjectSchema.NamespaceInfo": "ZelCapabilityNamespaceInfo",
    "zel.capability.provider.CapabilityObjectSchema.VendorResourceTypeInfo": "ZelCapabilityVendorResourceTypeInfo",
    "zel.capability.provider.CapabilityObjectSchema.VendorNamespaceInfo": "ZelCapabilityVendorNamespaceInfo",
    "zel.capability.provider.LineOfServiceInfo.LineOfServiceEnum": "ZelLineOfServiceInfoLineOfServiceEnum",
    "zel.compliance.OperationalStatus": "ZelComplianceOperationalStatus",
    "zel.compliance.PolicyStatus": "ZelCompliancePolicyStatus",
    "zel.compliance.ComplianceResult.ComplianceTaskStatus": "ZelComplianceResultComplianceTaskStatus",
    "zel.compliance.EntityHealthStatus.DatastoreAccessibilityStatus": "ZelEntityHealthDatastoreAccessibilityStatus",
    "zel.placement.SubjectAssignment": "ZelPlacementSubjectAssignment",
    "zel.placement.HubSelectionInfo": "ZelPlacementHubSelectionInfo",
    "zel.placement.HubCapacityInfo": "ZelPlacementHubCapacityInfo",
    "zel.placement.Requirement": "ZelPlacementRequirement",
    "zel.placement.CapabilityProfileRequirement": "ZelPlacementCapabilityProfileRequirement",
    "zel.placement.CapabilityConstraintsRequirement": "ZelPlacementCapabilityConstraintsRequirement",
    "zel.placement.CapacityRequirement": "ZelPlacementCapacityRequirement",
    "zel.placement.CapacityRequirement.DiskProvisioningType": "ZelPlacementCapacityRequirementDiskProvisioningType",
    "zel.placement.ComputeResourceRequirement": "ZelPlacementComputeResourceRequirement",
    "zel.placement.CompatibilityResult": "ZelPlacementCompatibilityResult",
    "zel.placement.MatchingResources": "ZelPlacementMatchingResources",
    "zel.placement.MatchingReplicationResources": "ZelPlacementMatchingReplicationResources",
    "zel.placement.ResourceUtilization": "ZelPlacementResourceUtilization",
    "zel.placement.PlacementHubFinder.Info": "ZelPlacementHubFinderInfo",
    "zel.placement.HubFinderRegistry": "ZelPlacementHubFinderRegistry",
}

# Wsdl names that follow the pattern although they are easily mistaken.
REGULAR_TYPE_WSDL = {
    "zel.ServerObjectRef.ObjectType": "ZelObjectType",
    "zel.ServerObjectRef.LodeType": "ZelLodeType",
    "zel.profile.EntityAssociations.Operation": "ZelOperation",
    "zel.compliance.ComplianceResult.ComplianceStatus": "ZelComplianceStatus",
    "zel.placement.PlacementHub": "ZelPlacementHub",
    "zel.placement.PlacementSolver": "ZelPlacementSolver",
    "zel.placement.PlacementHubFinder": "ZelPlacementHubFinder",
}

# Wsdl names of methods that are not "Zel" plus the capitalised method name.
IRREGULAR_METHOD_WSDL = {
    "zel.ServiceInstance.retrieveContent": "ZelRetrieveServiceContent",
    "zel.ServiceInstance.getZelDebugManager": "ZelDebugManager",
    "zel.AtomFeedQsProvider.queryAtomFeedQsProviderIds": "ZelProviderQueryAtomFeedQsProviderIds",
    "zel.profile.ProfileManager.retrieveContentAsString": "ZelRetrieveProfileContentAsString",
    "zel.profile.ProfileManager.retrieveContentForHub": "ZelRetrieveProfileContentForHub",
    "zel.profile.ProfileManager.retrieveContentAsStringBySpec": "ZelRetrieveProfileContentAsStringBySpec",
    "zel.profile.ProfileManager.configureErrorMode": "ConfigureErrorMode",
    "zel.profile.provider.ProfileProvider.querySpaceStatsForStorageContainer": "ZelQuerySpaceStatsForContainer",
    "zel.profile.provider.ProfileProvider.queryAtomFeedQsProviderIds": "ZelQueryProfileQsProviderIds",
    "zel.capability.CapabilityMetadataManager.queryAtomFeedQsProviderIds": "ZelQueryCapabilityMetadataQsProviderIds",
    "zel.capability.CapabilityMetadataManager.removeAllCapabilityMetadataDocuments": "removeAllCapabilityMetadataDocuments",
    "zel.compliance.ComplianceManager.queryAtomFeedQsProviderIds": "ZelQueryComplianceQsProviderIds",
    "zel.compliance.provider.ComplianceProvider.checkCompliance": "ZelProviderCheckCompliance",
    "zel.placement.PlacementHubFinder.findMatchingHub": "ZelPlacementHubFinderFindMatchingHub",
    "zel.placement.PlacementHubFinder.findMatchingHubWithSpec": "ZelPlacementHubFinderFindMatchingHubWithSpec",
    "zel.association.provider.AssociationProvider.queryAssociatedProfiles": "ZelAssociationProviderQueryAssociatedProfiles",
    "zel.association.provider.AssociationProvider.queryAssociatedProfile": "ZelAssociationProviderQueryAssociatedProfile",
    "zel.association.provider.AssociationProvider.queryAssociatedEntity": "ZelAssociationProviderQueryAssociatedEntity",
}

REGULAR_METHOD_WSDL = {
    "zel.ServiceInstance.queryAtomFeedQsProviderIds": "ZelQueryAtomFeedQsProviderIds",
    "zel.profile.ProfileManager.querySpaceStatsForStorageContainer": "ZelQuerySpaceStatsForStorageContainer",
    "zel.profile.ProfileManager.retrieveContent": "ZelRetrieveContent",
    "zel.compliance.ComplianceManager.checkCompliance": "ZelCheckCompliance",
}


class RealSchema(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lib = load_library(SCHEMA_DIR)

    def methods(self):
        return {m.qualified_name: m for m in self.lib.methods()}

    # ---- library -------------------------------------------------------
    def test_library(self):
        lib = self.lib
        self.assertEqual((lib.name, lib.namespace), ("zel", "Zel"))
        self.assertEqual(lib.unit_root, "LIBRARIES\\olyx\\generic\\beta")
        self.assertEqual(lib.dependencies, ["olyx", "hox"])
        self.assertEqual(lib.external_versions, ["olyx.version.version0"])

    def test_version_records(self):
        lib = self.lib
        self.assertEqual([(v.name, v.id) for v in lib.versions], VERSIONS)
        for v in lib.versions:
            self.assertEqual((v.namespace, v.task_type, v.second_namespace, v.flags), ("zel", "zel.Task", "zel", 0x100),
                             v.name)
        self.assertEqual(lib.designated, ["zel.version.version14"] * 3 + ["zel.version.version1"])
        self.assertEqual([tuple(r) for r in lib.relations], RELATIONS)
        self.assertEqual(lib.versions[0].name, lib.designated[3])
        self.assertEqual([r for r in lib.relations if r.parent.startswith("olyx.")], [RELATIONS[0]])

    def test_externals(self):
        ext = self.lib.externals
        self.assertEqual({n: d.kind for n, d in ext.items()}, {
            "olyx.DynamicData": "data", "olyx.KeyAnyValue": "data", "olyx.MethodFault": "fault",
            "olyx.fault.InvalidArgument": "fault", "olyx.fault.NotSupported": "fault",
            "olyx.ManagedObject": "managed", "hox.vm.ProfileSpec": "data",
            "hox.vm.replication.ReplicationSpec": "data", "hox.vm.replication.ReplicationGroupId": "data"})
        for name, decl in ext.items():
            joined = "".join(c[:1].upper() + c[1:] for c in name.split("."))
            self.assertEqual(decl.record, "g%sTypeInfo" % joined)
        self.assertEqual(ext["hox.vm.replication.ReplicationGroupId"].cpp_class,
                         "Hox::Vm::Replication::ReplicationGroupId")
        self.assertEqual(ext["hox.vm.replication.ReplicationGroupId"].header,
                         "Hox/Vm/Replication/ReplicationGroupId.h")

    # ---- totals ------------------------------------------------------
    def test_type_totals(self):
        self.assertEqual(len(self.lib.types), 149)
        self.assertEqual(self.lib.count_kinds(), {"data": 98, "fault": 14, "enum": 18, "managed": 19})
        self.assertEqual(sum(1 for t in self.lib.all_types() if t.is_data_like), 112)

    def test_packages(self):
        got = [(p.name, len(p.data_types()), len(p.enums()), len(p.managed())) for p in self.lib.packages]
        self.assertEqual(got, PACKAGES)
        for pkg in self.lib.packages:
            self.assertEqual(pkg.unit, "LIBRARIES\\olyx\\generic\\beta\\%s\\typeinfo" % pkg.name.replace(".", "\\"))
            self.assertEqual(os.path.basename(pkg.file), pkg.name + ".zel")
            for t in pkg.types:
                self.assertEqual(self.lib.package_of_name(t.name), pkg.name, t.name)

    def test_root_package_order(self):
        root = self.lib.packages[0]
        self.assertEqual([t.name for t in root.slot_order()], [
            "zel.AboutInfo", "zel.ExtendedElementDescription", "zel.ResourceAssociation", "zel.ServerObjectRef",
            "zel.ServiceInstanceContent", "zel.ServerObjectRef.LodeType", "zel.ServerObjectRef.ObjectType",
            "zel.AtomFeedQsProvider", "zel.ZelDebugManager", "zel.ServiceInstance", "zel.Task"])
        self.assertEqual(root.types, root.slot_order())

    def test_slot_order_rule(self):
        """Per kind by wsdl name, then each base of the same package moved before its derived types."""
        for pkg in self.lib.packages:
            for group in (pkg.data_types(), pkg.enums(), pkg.managed()):
                by_wsdl = sorted(group, key=lambda t: t.wsdl)
                names = {t.name for t in group}
                done, expected = set(), []

                def emit(t):
                    if t.name in done:
                        return
                    if t.base in names:
                        emit(self.lib.types[t.base])
                    done.add(t.name)
                    expected.append(t.name)

                for t in by_wsdl:
                    emit(t)
                self.assertEqual([t.name for t in group], expected, pkg.name)

    def test_method_totals(self):
        methods = self.lib.methods()
        self.assertEqual(len(methods), 94)
        self.assertEqual(self.lib.method_count, 94)
        by_privilege = {}
        for m in methods:
            by_privilege[m.privilege] = by_privilege.get(m.privilege, 0) + 1
        self.assertEqual(by_privilege, {"StorageProfile.View": 70, "StorageProfile.Update": 22, "System.Anonymous": 2})
        self.assertEqual(sum(1 for m in methods if m.result is None), 27)
        self.assertEqual({m.flags for m in methods}, {0, 0x100})
        anonymous = sorted(m.qualified_name for m in methods if m.privilege == "System.Anonymous")
        self.assertEqual(anonymous, ["zel.ServiceInstance.retrieveContent", "zel.auth.SessionManager.loginByToken"])

    def test_declared_faults(self):
        methods = self.lib.methods()

        def declaring(fault):
            return sorted(m.qualified_name for m in methods if fault in m.faults)

        self.assertEqual(len(declaring("zel.fault.ZELFault")), 63)
        self.assertEqual(len(declaring("olyx.fault.InvalidArgument")), 24)
        self.assertEqual(declaring("olyx.fault.NotSupported"), ["zel.profile.ProfileManager.configureErrorMode"])
        self.assertEqual(declaring("zel.fault.NotFound"), sorted(m.qualified_name for m in methods
                                                                if m.name.startswith("unregister")))
        self.assertEqual(len(declaring("zel.fault.NotFound")), 5)
        self.assertEqual(declaring("zel.fault.InvalidLogin"), ["zel.auth.SessionManager.loginByToken"])
        self.assertEqual(len(declaring("zel.fault.NonExistentHubs")), 5)
        self.assertEqual(len(declaring("zel.fault.LegacyHubsNotSupported")), 3)
        for fault in ("ResourceInUse", "CompatibilityCheckFault", "DefaultProfileAppliesFault", "PropertyMismatchFault",
                      "CapabilityProfilePropertyMismatchFault", "IncompatibleVendorSpecificRuleSet"):
            self.assertEqual(declaring("zel.fault." + fault), [], fault)
        self.assertEqual(self.methods()["zel.profile.ProfileManager.findApplicableDefaultProfile"].faults, [
            "zel.fault.LegacyHubsNotSupported", "zel.fault.NonExistentHubs", "zel.fault.ZELFault",
            "olyx.fault.InvalidArgument"])
        self.assertEqual(self.methods()["zel.profile.ProfileManager.create"].faults, [
            "olyx.fault.InvalidArgument", "zel.fault.ProfileStorageFault", "zel.fault.DuplicateName"])

    def test_version_introductions(self):
        self.assertEqual(self.lib.version_introductions(), INTRODUCTIONS)
        used = set()
        for t in self.lib.all_types():
            used.add(t.since)
            used.update(p.since for p in t.props)
            for m in t.methods:
                used.add(m.since)
                used.update(a.since for a in m.params)
        self.assertEqual(used & {"zel.version.version13", "zel.version.stable", "zel.version.legacy"}, set())

    def test_parameters_later_than_their_methods(self):
        later = sorted("%s(%s) %s" % (a.owner.qualified_name, a.name, a.since)
                       for m in self.lib.methods() for a in m.params if a.since != m.since)
        self.assertEqual(later, [
            "zel.profile.ProfileManager.associate(replSpec) zel.version.version11",
            "zel.profile.ProfileManager.reconfigEntityAssociations(userAuth) zel.version.unstable",
            "zel.profile.ProfileManager.retrieveContentAsString(spec) zel.version.version11",
            "zel.profile.provider.ProfileProvider.fetchContentAsString(replSpec) zel.version.version11",
        ])
        for m in self.lib.methods():
            for a in m.params:
                if a.since != m.since:
                    self.assertTrue(a.type.optional, a.name)

    def test_external_stores(self):
        stores = self.lib.external_stores()
        self.assertEqual(len(stores), 322)
        parents = {}
        for s in stores:
            if s.what == "parent":
                parents[s.target] = parents.get(s.target, 0) + 1
        self.assertEqual(parents, {"olyx.DynamicData": 73, "olyx.MethodFault": 1, "olyx.ManagedObject": 14})
        method_fault_parent = [s.owner.name for s in stores if s.what == "parent" and s.target == "olyx.MethodFault"]
        self.assertEqual(method_fault_parent, ["zel.fault.ZELFault"])
        targets = {s.target for s in stores}
        self.assertEqual(targets, {
            "string", "boolean", "int", "long", "dateTime", "anyType", "typeName",
            "olyx.DynamicData", "olyx.KeyAnyValue", "olyx.MethodFault", "olyx.ManagedObject",
            "olyx.fault.InvalidArgument", "olyx.fault.NotSupported",
            "hox.vm.ProfileSpec", "hox.vm.replication.ReplicationSpec", "hox.vm.replication.ReplicationGroupId"})

    # ---- particulars -------------------------------------------------
    def test_annotations_flags_privileges(self):
        annotated, flagged, privileged = [], [], []
        for t in self.lib.all_types():
            for p in t.props:
                if p.annotation is not None:
                    annotated.append(("%s.%s" % (t.name, p.name), p.annotation))
                if p.extra_flags:
                    flagged.append(("%s.%s" % (t.name, p.name), p.flags))
                if p.privilege is not None:
                    privileged.append(("%s.%s" % (t.name, p.name), p.privilege))
        self.assertEqual(annotated, [("zel.AboutInfo.name", ""), ("zel.ExtendedElementDescription.label", ""),
                                     ("zel.ExtendedElementDescription.summary", "")])
        self.assertEqual(flagged, [("zel.ServiceInstance.content", 4)])
        self.assertEqual(privileged, [("zel.ServiceInstance.content", "System.Anonymous")])

    def test_service_root(self):
        types = self.lib.types
        content = types["zel.ServiceInstanceContent"]
        self.assertEqual([(p.name, str(p.type)) for p in content.props], [
            ("aboutInfo", "zel.AboutInfo"),
            ("sessionManager", "moref zel.auth.SessionManager"),
            ("capabilityMetadataManager", "moref zel.capability.CapabilityMetadataManager"),
            ("profileManager", "moref zel.profile.ProfileManager"),
            ("complianceManager", "moref zel.compliance.ComplianceManager"),
            ("placementSolver", "moref zel.placement.PlacementSolver"),
            ("replicationManager", "moref zel.replication.ReplicationManager?"),
        ])
        self.assertEqual(content.props[-1].since, "zel.version.version11")
        service = types["zel.ServiceInstance"]
        self.assertEqual([(m.name, m.flags, None if m.result is None else str(m.result)) for m in service.methods], [
            ("retrieveContent", 0, "zel.ServiceInstanceContent"),
            ("queryAtomFeedQsProviderIds", 0x100, "string[]?"),
            ("getZelDebugManager", 0x100, "moref zel.ZelDebugManager?"),
        ])
        self.assertEqual(types["zel.Task"].props, [])
        self.assertEqual(types["zel.Task"].methods, [])
        self.assertEqual(types["zel.ServerObjectRef.ObjectType"].values, [
            "virtualMachine", "virtualMachineAndDisks", "virtualDiskId", "virtualDiskUUID", "datastore", "host",
            "cluster", "unknown"])
        self.assertIs(types["zel.ServerObjectRef.ObjectType"].enclosing, types["zel.ServerObjectRef"])

    def test_profile_manager_results(self):
        manager = self.lib.types["zel.profile.ProfileManager"]
        self.assertEqual(len(manager.methods), 38)
        required = sorted(m.name for m in manager.methods if m.result is not None and not m.result.optional)
        self.assertEqual(required, sorted([
            "create", "retrieveContent", "applyAssociated", "applyProfile", "queryDefaultRequirementProfiles",
            "queryIOFiltersFromProfileId", "queryIOFilterInfo", "preProvisionProcess"]))
        strings = [m.name for m in manager.methods if m.result is not None and m.result.name == "string"]
        self.assertEqual(strings, ["retrieveContentAsString", "retrieveContentAsStringBySpec"])

    def test_nested_and_keyword_names(self):
        types = self.lib.types
        info = types["zel.placement.PlacementHubFinder.Info"]
        self.assertEqual(info.kind, "data")
        self.assertIs(info.enclosing, types["zel.placement.PlacementHubFinder"])
        self.assertEqual(info.base, "zel.provider.ProviderInfo")
        unique = types["zel.capability.CapabilityMetadata.UniqueId"]
        self.assertEqual([p.name for p in unique.props], ["namespace", "id"])
        operator = [p for p in types["zel.capability.PropertyInstance"].props if p.name == "operator"][0]
        self.assertEqual((str(operator.type), operator.since), ("string?", "zel.version.version11"))
        self.assertEqual(types["zel.profile.EntityAssociations.Operation"].values,
                         ["CREATE", "REGISTER", "RECONFIGURE", "MIGRATE", "CLONE"])
        self.assertEqual(types["zel.profile.VmAssociations.Operation"].values,
                         ["CREATE", "RECONFIGURE", "MIGRATE", "CLONE"])

    def test_fault_tree(self):
        leaf = self.lib.types["zel.fault.IncompatibleVendorSpecificRuleSet"]
        chain = []
        decl = leaf
        while decl is not None:
            chain.append(decl.name)
            decl = decl.base_decl
        self.assertEqual(chain, ["zel.fault.IncompatibleVendorSpecificRuleSet",
                                 "zel.fault.CapabilityProfilePropertyMismatchFault", "zel.fault.PropertyMismatchFault",
                                 "zel.fault.CompatibilityCheckFault", "zel.fault.ZELFault", "olyx.MethodFault"])
        self.assertTrue(all(t.kind == "fault" for t in self.lib.packages[9].types))

    # ---- wsdl names --------------------------------------------------
    def test_irregular_type_wsdl_names(self):
        for name, wsdl in list(IRREGULAR_TYPE_WSDL.items()) + list(REGULAR_TYPE_WSDL.items()):
            self.assertIn(name, self.lib.types)
            self.assertEqual(self.lib.types[name].wsdl, wsdl, name)

    def test_every_other_type_wsdl_name_is_regular(self):
        for t in self.lib.all_types():
            if t.name not in IRREGULAR_TYPE_WSDL:
                self.assertEqual(t.wsdl, "Zel" + t.short_name, t.name)

    def test_placement_wsdl_rule(self):
        """Every placement wsdl name: "Zel" plus a name that begins with "Placement",
        else "ZelPlacement" plus the name with nested components joined."""
        for t in self.lib.packages[10].types:
            rest = t.name[len("zel.placement."):].split(".")
            joined = "".join(rest)
            expected = ("Zel" + joined) if joined.startswith("Placement") else ("ZelPlacement" + joined)
            self.assertEqual(t.wsdl, expected, t.name)

    def test_irregular_method_wsdl_names(self):
        methods = self.methods()
        for name, wsdl in list(IRREGULAR_METHOD_WSDL.items()) + list(REGULAR_METHOD_WSDL.items()):
            self.assertIn(name, methods)
            self.assertEqual(methods[name].wsdl, wsdl, name)

    def test_every_other_method_wsdl_name_is_regular(self):
        for name, m in self.methods().items():
            if name not in IRREGULAR_METHOD_WSDL:
                self.assertEqual(m.wsdl, "Zel" + m.name[:1].upper() + m.name[1:], name)


if __name__ == "__main__":
    unittest.main()
