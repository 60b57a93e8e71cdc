// hox.vm.replication.ReplicationGroupId: the identity of a replication group.
#pragma once

#include <Kestrum/Panic.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/TypeInfo.h>

#include <string>

namespace Hox {
namespace Vm {
namespace Replication {

class ReplicationGroupId : public Lumo::DynamicData {
 public:
  ReplicationGroupId();
  ~ReplicationGroupId() override;

  Lumo::Type* _GetType() const override;
  ReplicationGroupId* _Clone() const override;
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  // faultDomainId: required string, own index 0.
  const std::string& GetFaultDomainId() const { return _faultDomainId; }
  const std::string* PeekFaultDomainId() const { return &_faultDomainId; }
  void SetFaultDomainId(const std::string& value);
  void SetFaultDomainId(const char* value) { _faultDomainId = value; }
  void SwapFaultDomainId(std::string* const value);

  // deviceGroupId: required string, own index 1.
  const std::string& GetDeviceGroupId() const { return _deviceGroupId; }
  const std::string* PeekDeviceGroupId() const { return &_deviceGroupId; }
  void SetDeviceGroupId(const std::string& value);
  void SetDeviceGroupId(const char* value) { _deviceGroupId = value; }
  void SwapDeviceGroupId(std::string* const value);

 protected:
  ReplicationGroupId(const ReplicationGroupId& other);

 private:
  std::string _faultDomainId;
  std::string _deviceGroupId;
};

}  // namespace Replication
}  // namespace Vm
}  // namespace Hox

extern ::Lumo::TypeInfo gHoxVmReplicationReplicationGroupIdTypeInfo;

namespace Lumo {
template <>
DataObjectType* GetDoType<Hox::Vm::Replication::ReplicationGroupId>();
extern template class DataArray<Hox::Vm::Replication::ReplicationGroupId>;
}  // namespace Lumo
