// Out-of-line members of the hox data object classes.
#include <Hox/Vm/ProfileSpec.h>
#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Hox/Vm/Replication/ReplicationSpec.h>
#include <Kestrum/Panic.h>
#include <Lumo/Diff.h>
#include <Lumo/Validate.h>

namespace {

// An optional property matches when both are equal, or loosely when the
// other side is unset.
template <class T>
bool OptionalMatches(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& theirs,
                     bool looseMatch) {
  return (looseMatch && !theirs.IsSet()) || mine == theirs;
}

template <class T>
Kestrum::Ref<T> CloneOf(const Kestrum::Ref<T>& source) {
  return Kestrum::Ref<T>(source ? source->_Clone() : nullptr);
}

void AddIfDifferent(bool different, const std::string& prefix, const char* name,
                    Lumo::PropertyDiffSet& diffs) {
  if (different) diffs.AddChanged(Lumo::PropertyPath(prefix + name));
}

}  // namespace

namespace Hox {
namespace Vm {
namespace Replication {

// ---- ReplicationGroupId --------------------------------------------------------

ReplicationGroupId::ReplicationGroupId() = default;

ReplicationGroupId::ReplicationGroupId(const ReplicationGroupId& other)
    : Lumo::DynamicData(other),
      _faultDomainId(other._faultDomainId),
      _deviceGroupId(other._deviceGroupId) {}

ReplicationGroupId::~ReplicationGroupId() = default;

Lumo::Type* ReplicationGroupId::_GetType() const { return Lumo::GetDoType<ReplicationGroupId>(); }

ReplicationGroupId* ReplicationGroupId::_Clone() const { return new ReplicationGroupId(*this); }

Lumo::DataObjectType* ReplicationGroupId::_GetDataType() const {
  return Lumo::GetDoType<ReplicationGroupId>();
}

bool ReplicationGroupId::_IsEqual(const Lumo::Any* other, bool) const {
  auto* o = static_cast<const ReplicationGroupId*>(other);
  return _faultDomainId == o->_faultDomainId && _deviceGroupId == o->_deviceGroupId;
}

void ReplicationGroupId::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                                         Lumo::PropertyDiffSet& diffs) const {
  auto* o = static_cast<const ReplicationGroupId*>(other);
  AddIfDifferent(_faultDomainId != o->_faultDomainId, prefix, ".faultDomainId", diffs);
  AddIfDifferent(_deviceGroupId != o->_deviceGroupId, prefix, ".deviceGroupId", diffs);
}

void ReplicationGroupId::SetFaultDomainId(const std::string& value) {
  if (&value == &_faultDomainId) return;
  Lumo::Validate<std::string>(&value, this, 0);
  _faultDomainId = value;
}

void ReplicationGroupId::SwapFaultDomainId(std::string* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/Replication/ReplicationGroupId", 31);
  Lumo::Validate<std::string>(value, this, 0);
  _faultDomainId.swap(*value);
}

void ReplicationGroupId::SetDeviceGroupId(const std::string& value) {
  if (&value == &_deviceGroupId) return;
  Lumo::Validate<std::string>(&value, this, 1);
  _deviceGroupId = value;
}

void ReplicationGroupId::SwapDeviceGroupId(std::string* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/Replication/ReplicationGroupId", 38);
  Lumo::Validate<std::string>(value, this, 1);
  _deviceGroupId.swap(*value);
}

// ---- ReplicationSpec ------------------------------------------------------------

ReplicationSpec::ReplicationSpec() = default;

ReplicationSpec::ReplicationSpec(const ReplicationSpec& other)
    : Lumo::DynamicData(other),
      _replicationGroupId(CloneOf(other._replicationGroupId)),
      _replicationTarget(other._replicationTarget) {}

ReplicationSpec::~ReplicationSpec() = default;

Lumo::Type* ReplicationSpec::_GetType() const { return Lumo::GetDoType<ReplicationSpec>(); }

ReplicationSpec* ReplicationSpec::_Clone() const { return new ReplicationSpec(*this); }

Lumo::DataObjectType* ReplicationSpec::_GetDataType() const {
  return Lumo::GetDoType<ReplicationSpec>();
}

bool ReplicationSpec::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  auto* o = static_cast<const ReplicationSpec*>(other);
  return Lumo::AreEqualAnysInt(_replicationGroupId.Get(), o->_replicationGroupId.Get(), 0,
                               looseMatch) &&
         OptionalMatches(_replicationTarget, o->_replicationTarget, looseMatch);
}

void ReplicationSpec::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                                      Lumo::PropertyDiffSet& diffs) const {
  auto* o = static_cast<const ReplicationSpec*>(other);
  Lumo::DiffAnyPropertiesInt(_replicationGroupId.Get(), o->_replicationGroupId.Get(), prefix,
                             ".replicationGroupId", 0, diffs);
  AddIfDifferent(!(_replicationTarget == o->_replicationTarget), prefix, ".replicationTarget",
                 diffs);
}

void ReplicationSpec::SwapReplicationGroupId(Kestrum::Ref<ReplicationGroupId>* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/Replication/ReplicationSpec", 33);
  _replicationGroupId.Swap(*value);
}

bool ReplicationSpec::GetReplicationTarget(std::string& value) const {
  if (!_replicationTarget.IsSet()) return false;
  if (&value != _replicationTarget.GetPtr()) value = _replicationTarget.GetValue();
  return true;
}

void ReplicationSpec::SetReplicationTarget(const Kestrum::Optional<std::string>& value) {
  if (&value == &_replicationTarget) return;
  if (value.IsSet()) Lumo::Validate<std::string>(value.GetPtr(), this, 1);
  _replicationTarget = value;
}

void ReplicationSpec::SwapReplicationTarget(Kestrum::Optional<std::string>* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/Replication/ReplicationSpec", 41);
  if (value->IsSet()) Lumo::Validate<std::string>(value->GetPtr(), this, 1);
  _replicationTarget.Swap(*value);
}

}  // namespace Replication

// ---- ProfileSpec -------------------------------------------------------------------

ProfileSpec::ProfileSpec() = default;

ProfileSpec::ProfileSpec(const ProfileSpec& other)
    : Lumo::DynamicData(other),
      _profileId(other._profileId),
      _profileData(other._profileData),
      _profileGenerationId(other._profileGenerationId),
      _replicationSpec(CloneOf(other._replicationSpec)) {}

ProfileSpec::~ProfileSpec() = default;

Lumo::Type* ProfileSpec::_GetType() const { return Lumo::GetDoType<ProfileSpec>(); }

ProfileSpec* ProfileSpec::_Clone() const { return new ProfileSpec(*this); }

Lumo::DataObjectType* ProfileSpec::_GetDataType() const { return Lumo::GetDoType<ProfileSpec>(); }

bool ProfileSpec::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  auto* o = static_cast<const ProfileSpec*>(other);
  return _profileId == o->_profileId &&
         OptionalMatches(_profileData, o->_profileData, looseMatch) &&
         OptionalMatches(_profileGenerationId, o->_profileGenerationId, looseMatch) &&
         Lumo::AreEqualAnysInt(_replicationSpec.Get(), o->_replicationSpec.Get(),
                               Lumo::kFlagOptional, looseMatch);
}

void ProfileSpec::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                                  Lumo::PropertyDiffSet& diffs) const {
  auto* o = static_cast<const ProfileSpec*>(other);
  AddIfDifferent(_profileId != o->_profileId, prefix, ".profileId", diffs);
  AddIfDifferent(!(_profileData == o->_profileData), prefix, ".profileData", diffs);
  AddIfDifferent(!(_profileGenerationId == o->_profileGenerationId), prefix, ".profileGenerationId",
                 diffs);
  Lumo::DiffAnyPropertiesInt(_replicationSpec.Get(), o->_replicationSpec.Get(), prefix,
                             ".replicationSpec", Lumo::kFlagOptional, diffs);
}

void ProfileSpec::SetProfileId(const std::string& value) {
  if (&value == &_profileId) return;
  Lumo::Validate<std::string>(&value, this, 0);
  _profileId = value;
}

void ProfileSpec::SwapProfileId(std::string* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/ProfileSpec", 34);
  Lumo::Validate<std::string>(value, this, 0);
  _profileId.swap(*value);
}

bool ProfileSpec::GetProfileData(std::string& value) const {
  if (!_profileData.IsSet()) return false;
  if (&value != _profileData.GetPtr()) value = _profileData.GetValue();
  return true;
}

void ProfileSpec::SetProfileData(const Kestrum::Optional<std::string>& value) {
  if (&value == &_profileData) return;
  if (value.IsSet()) Lumo::Validate<std::string>(value.GetPtr(), this, 1);
  _profileData = value;
}

void ProfileSpec::SwapProfileData(Kestrum::Optional<std::string>* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/ProfileSpec", 42);
  if (value->IsSet()) Lumo::Validate<std::string>(value->GetPtr(), this, 1);
  _profileData.Swap(*value);
}

bool ProfileSpec::GetProfileGenerationId(int64_t& value) const {
  if (!_profileGenerationId.IsSet()) return false;
  value = _profileGenerationId.GetValue();
  return true;
}

void ProfileSpec::SwapProfileGenerationId(Kestrum::Optional<int64_t>* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/ProfileSpec", 52);
  _profileGenerationId.Swap(*value);
}

void ProfileSpec::SwapReplicationSpec(Kestrum::Ref<Replication::ReplicationSpec>* const value) {
  KESTRUM_ASSERT_AT(value, "Hox/Vm/ProfileSpec", 62);
  _replicationSpec.Swap(*value);
}

}  // namespace Vm
}  // namespace Hox
