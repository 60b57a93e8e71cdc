// zel.placement.PlacementSolver: which hubs fit a profile, a create spec
// or a list of requirements.
#pragma once

#include <Olyx/Zel/Placement/PlacementSolver.h>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class PlacementSolverImpl : public Served<Zel::Placement::PlacementSolver> {
 public:
  PlacementSolverImpl(const char* id, ServiceCore& core);

  void QueryMatchingHub(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>& result) override;
  void QueryMatchingHubWithSpec(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>& result) override;
  void CheckCompatibility(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;
  void CheckCompatibilityWithSpec(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::Profile::CapabilityBasedProfileCreateSpec* profileSpec,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;
  void CheckRequirements(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::ServerObjectRef* placementSubjectRef,
      Lumo::DataArray<Zel::Placement::Requirement>* placementSubjectRequirement,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;

 private:
  ServiceCore& _core;
};

}  // namespace ZelSample
