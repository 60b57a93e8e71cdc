// hox.vm.ProfileSpec: the storage policy asked for a virtual machine or disk.
#pragma once

#include <Hox/Vm/Replication/ReplicationSpec.h>
#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/TypeInfo.h>

#include <cstdint>
#include <string>

namespace Hox {
namespace Vm {

class ProfileSpec : public Lumo::DynamicData {
 public:
  ProfileSpec();
  ~ProfileSpec() override;

  Lumo::Type* _GetType() const override;
  ProfileSpec* _Clone() const override;
  bool _IsEqual(const Lumo::Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Lumo::Any* other, const std::string& prefix,
                       Lumo::PropertyDiffSet& diffs) const override;
  Lumo::DataObjectType* _GetDataType() const override;

  // profileId: required string, own index 0.
  const std::string& GetProfileId() const { return _profileId; }
  const std::string* PeekProfileId() const { return &_profileId; }
  void SetProfileId(const std::string& value);
  void SetProfileId(const char* value) { _profileId = value; }
  void SwapProfileId(std::string* const value);

  // profileData: optional string, own index 1.
  const Kestrum::Optional<std::string>& GetProfileData() const { return _profileData; }
  bool GetProfileData(std::string& value) const;
  const std::string* PeekProfileData() const { return _profileData.GetPtr(); }
  void SetProfileData(const Kestrum::Optional<std::string>& value);
  void SwapProfileData(Kestrum::Optional<std::string>* const value);
  void UnsetProfileData() { _profileData.Reset(); }

  // profileGenerationId: optional long, own index 2.
  const Kestrum::Optional<int64_t>& GetProfileGenerationId() const { return _profileGenerationId; }
  bool GetProfileGenerationId(int64_t& value) const;
  const int64_t* PeekProfileGenerationId() const { return _profileGenerationId.GetPtr(); }
  void SetProfileGenerationId(const Kestrum::Optional<int64_t>& value) {
    _profileGenerationId = value;
  }
  void SwapProfileGenerationId(Kestrum::Optional<int64_t>* const value);
  void UnsetProfileGenerationId() { _profileGenerationId.Reset(); }

  // replicationSpec: optional data object, own index 3.
  Replication::ReplicationSpec* GetReplicationSpec() { return _replicationSpec.Get(); }
  const Replication::ReplicationSpec* GetReplicationSpec() const { return _replicationSpec.Get(); }
  const Replication::ReplicationSpec* PeekReplicationSpec() const { return _replicationSpec.Get(); }
  void SetReplicationSpec(Replication::ReplicationSpec* value) { _replicationSpec = value; }
  void SwapReplicationSpec(Kestrum::Ref<Replication::ReplicationSpec>* const value);

 protected:
  ProfileSpec(const ProfileSpec& other);

 private:
  std::string _profileId;
  Kestrum::Optional<std::string> _profileData;
  Kestrum::Optional<int64_t> _profileGenerationId;
  Kestrum::Ref<Replication::ReplicationSpec> _replicationSpec;
};

}  // namespace Vm
}  // namespace Hox

extern ::Lumo::TypeInfo gHoxVmProfileSpecTypeInfo;

namespace Lumo {
template <>
DataObjectType* GetDoType<Hox::Vm::ProfileSpec>();
extern template class DataArray<Hox::Vm::ProfileSpec>;
}  // namespace Lumo
