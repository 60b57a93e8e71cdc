// hox.vm.replication.ReplicationSpec: how a virtual machine is replicated.
#pragma once

#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/TypeInfo.h>

#include <string>

namespace Hox {
namespace Vm {
namespace Replication {

class ReplicationSpec : public Lumo::DynamicData {
 public:
  ReplicationSpec();
  ~ReplicationSpec() override;

  Lumo::Type* _GetType() const override;
  ReplicationSpec* _Clone() const override;
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  // replicationGroupId: data object, own index 0.
  ReplicationGroupId* GetReplicationGroupId() { return _replicationGroupId.Get(); }
  const ReplicationGroupId* GetReplicationGroupId() const { return _replicationGroupId.Get(); }
  const ReplicationGroupId* PeekReplicationGroupId() const { return _replicationGroupId.Get(); }
  void SetReplicationGroupId(ReplicationGroupId* value) { _replicationGroupId = value; }
  void SwapReplicationGroupId(Kestrum::Ref<ReplicationGroupId>* const value);

  // replicationTarget: optional string, own index 1.
  const Kestrum::Optional<std::string>& GetReplicationTarget() const { return _replicationTarget; }
  bool GetReplicationTarget(std::string& value) const;
  const std::string* PeekReplicationTarget() const { return _replicationTarget.GetPtr(); }
  void SetReplicationTarget(const Kestrum::Optional<std::string>& value);
  void SwapReplicationTarget(Kestrum::Optional<std::string>* const value);
  void UnsetReplicationTarget() { _replicationTarget.Reset(); }

 protected:
  ReplicationSpec(const ReplicationSpec& other);

 private:
  Kestrum::Ref<ReplicationGroupId> _replicationGroupId;
  Kestrum::Optional<std::string> _replicationTarget;
};

}  // namespace Replication
}  // namespace Vm
}  // namespace Hox

extern ::Lumo::TypeInfo gHoxVmReplicationReplicationSpecTypeInfo;

namespace Lumo {
template <>
DataObjectType* GetDoType<Hox::Vm::Replication::ReplicationSpec>();
extern template class DataArray<Hox::Vm::Replication::ReplicationSpec>;
}  // namespace Lumo
