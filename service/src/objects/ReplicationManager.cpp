// zel.replication.ReplicationManager (ReplicationManager.h).
#include "objects/ReplicationManager.h"

#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Olyx/Zel/Replication/QueryReplicationGroupResult.h>

#include "objects/Arguments.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

ReplicationManagerImpl::ReplicationManagerImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core) {}

void ReplicationManagerImpl::QueryReplicationGroups(
    Lumo::DataArray<Zel::ServerObjectRef>* entities,
    Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>& result) {
  using Zel::Replication::QueryReplicationGroupResult;
  const Inventory& inventory = _core.inventory;
  if (entities != nullptr) {
    _core.quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), "entities");
  }
  // Without entities: every member of a group.
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> asked(entities);
  if (!asked) {
    asked = new Lumo::DataArray<Zel::ServerObjectRef>;
    for (const InventoryReplicationGroup& group : inventory.GetGroups()) {
      for (const std::string& member : group.members) {
        auto entity = MakeRef<Zel::ServerObjectRef>();
        entity->SetObjectType(inventory.FindVm(member)
                                  ? Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE
                                  : Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID);
        entity->SetKey(member);
        asked->Append(entity.Get());
      }
    }
  }
  result = new Lumo::DataArray<QueryReplicationGroupResult>;
  for (int i = 0; i < asked->GetLength(); ++i) {
    const Zel::ServerObjectRef* entity = asked->Get(i);
    auto one = MakeRef<QueryReplicationGroupResult>();
    one->SetObject(entity->_Clone());
    try {
      CheckEntity(entity, Indexed("entities", i));
      const std::string& type = entity->GetObjectType();
      using Zel::ServerObjectRef;
      bool listed = ((type == ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE ||
                      type == ServerObjectRef::OBJECTTYPE_VIRTUALMACHINEANDDISKS) &&
                     inventory.FindVm(entity->GetKey())) ||
                    ((type == ServerObjectRef::OBJECTTYPE_VIRTUALDISKID ||
                      type == ServerObjectRef::OBJECTTYPE_VIRTUALDISKUUID) &&
                     inventory.FindDisk(entity->GetKey()));
      if (!listed) {
        Faults::NotFound("the inventory lists no virtual machine or disk " + EntityKey(*entity));
      }
      if (const InventoryReplicationGroup* group = inventory.GroupOf(entity->GetKey())) {
        auto id = MakeRef<Hox::Vm::Replication::ReplicationGroupId>();
        id->SetFaultDomainId(group->faultDomainId);
        id->SetDeviceGroupId(group->deviceGroupId);
        one->SetReplicationGroupId(id.Get());
      }
    } catch (const Lumo::MethodFault::Exception& refused) {
      one->SetFault(refused.GetFault());
    }
    result->Append(one.Get());
  }
}

}  // namespace ZelSample
