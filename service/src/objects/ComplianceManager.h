// zel.compliance.ComplianceManager: compliance checks of entities against
// their profiles, their stored results, roll-ups per virtual machine and
// entity health.
#pragma once

#include <Olyx/Zel/Compliance/ComplianceManager.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ComplianceManagerImpl : public Served<Zel::Compliance::ComplianceManager> {
 public:
  ComplianceManagerImpl(const char* id, ServiceCore& core);

  void CheckCompliance(
      Lumo::DataArray<Zel::ServerObjectRef>* entities, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;
  void FetchComplianceResult(
      Lumo::DataArray<Zel::ServerObjectRef>* entities, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;

  void CheckRollupCompliance(
      Lumo::DataArray<Zel::ServerObjectRef>* entity,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void FetchRollupComplianceResult(
      Lumo::DataArray<Zel::ServerObjectRef>* entity,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void QueryAtomFeedQsProviderIds(Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  void QueryByRollupComplianceStatus(
      const std::string& status,
      Kestrum::Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override;
  void QueryOutOfDateEntities(Kestrum::Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override;
  void QueryByRollupComplianceStatusEx(
      const std::string& status,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void QueryByComplianceStatus(
      const std::string& status, Zel::Profile::ProfileId* profileId,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;
  void FetchEntityHealthStatus(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::EntityHealthStatus>>& result) override;

 private:
  ServiceCore& _core;
  GuardedState& _state;
};

}  // namespace ZelSample
