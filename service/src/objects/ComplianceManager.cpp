// zel.compliance.ComplianceManager: checks the storage of entities against
// their profiles through the registered compliance providers, and keeps the
// results (ComplianceResults.h). Roll-ups and queries are in
// ComplianceManagerRollup.cpp.
#include "objects/ComplianceManager.h"

#include "objects/Arguments.h"
#include "objects/ComplianceResults.h"

namespace ZelSample {

using Kestrum::Ref;
using Zel::Compliance::ComplianceResult;
using EntityArray = Lumo::DataArray<Zel::ServerObjectRef>;
using ResultArray = Lumo::DataArray<ComplianceResult>;

ComplianceManagerImpl::ComplianceManagerImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core), _state(core.state) {}

void ComplianceManagerImpl::CheckCompliance(EntityArray* entities, Zel::Profile::ProfileId* profile,
                                            Ref<ResultArray>& result) {
  CheckEntities(entities, "entities", _core.quotas);
  ComplianceCheck check = CheckComplianceOf(_core, *entities, profile);
  result = check.results;
  StoreCompliance(_core, check, *_GetType()->FindMethod("checkCompliance"), result.Get());
}

void ComplianceManagerImpl::FetchComplianceResult(EntityArray* entities,
                                                  Zel::Profile::ProfileId* profile,
                                                  Ref<ResultArray>& result) {
  CheckEntities(entities, "entities", _core.quotas);
  result = FetchComplianceOf(_core, *entities, profile);
}

}  // namespace ZelSample
