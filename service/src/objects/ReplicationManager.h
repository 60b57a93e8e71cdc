// zel.replication.ReplicationManager: the replication groups of the
// inventory.
#pragma once

#include <Olyx/Zel/Replication/ReplicationManager.h>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ReplicationManagerImpl : public Served<Zel::Replication::ReplicationManager> {
 public:
  ReplicationManagerImpl(const char* id, ServiceCore& core);

  void QueryReplicationGroups(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>& result)
      override;

 private:
  ServiceCore& _core;
};

}  // namespace ZelSample
