// The sample storage-policy service: every managed object it serves, their
// shared state, its sessions, and the entry through which calls reach them.
//
// The service keeps everything in memory: a built-in catalogue of capabilities
// (extended by what providers register), the profiles, their associations
// with entities and the compliance results. Several clients may call at once;
// every part of the state has its own mutex.
//
// The runtime must have been started (Lumo::StartRuntime) before a service is
// built.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Sessions.h>

#include <memory>
#include <string>
#include <vector>

namespace ZelSample {

// The ids of the service's objects; each reference's type is the wire name of
// the object's managed type ("zel.profile.ProfileManager"). The registries are
// not named by the service content: a provider is told their ids.
namespace ObjectIds {
inline constexpr char kServiceInstance[] = "ServiceInstance";
inline constexpr char kSessionManager[] = "SessionManager";
inline constexpr char kProfileManager[] = "ProfileManager";
inline constexpr char kCapabilityMetadataManager[] = "CapabilityMetadataManager";
inline constexpr char kComplianceManager[] = "ComplianceManager";
inline constexpr char kPlacementSolver[] = "PlacementSolver";
inline constexpr char kReplicationManager[] = "ReplicationManager";
inline constexpr char kProfileProviderRegistry[] = "ProfileProviderRegistry";
inline constexpr char kComplianceProviderRegistry[] = "ComplianceProviderRegistry";
inline constexpr char kHubFinderRegistry[] = "HubFinderRegistry";
inline constexpr char kAssociationProviderRegistry[] = "AssociationProviderRegistry";
}  // namespace ObjectIds

struct ServiceSettings {
  std::string name = "zel sample storage-policy service";
  std::string version = "1.0.0";
  // Random when empty.
  std::string instanceUuid;
  SessionTable::Settings sessions;
  // The issuers whose delegated tokens log users in; null: the demo issuer
  // (ZelSample/IssuerKeys.h), which is fit for demonstrations only.
  std::shared_ptr<const TrustedIssuers> trustedIssuers;
};

class SampleService {
 public:
  struct ServedObject {
    Kestrum::Ref<Lumo::MoRef> ref;
    Lumo::ManagedObject* object;
  };

  explicit SampleService(ServiceSettings settings = {});
  ~SampleService();
  SampleService(const SampleService&) = delete;
  SampleService& operator=(const SampleService&) = delete;

  // The reference a client starts from: the service instance.
  Kestrum::Ref<Lumo::MoRef> GetServiceInstanceRef() const;
  // Every object of the service with its reference, for a dispatcher's
  // registry. The objects live as long as the service.
  std::vector<ServedObject> GetObjects() const;
  // The object a reference names; null when the service has none.
  Lumo::ManagedObject* Find(const Lumo::MoRef& ref) const;

  // Refuses the call, by throwing a fault exception, when the session of the
  // current call (CallScope) may not call the method: a method whose
  // privilege is "System.Anonymous" needs no session; every other needs a
  // logged-in session that holds the method's privilege.
  void Authorize(const Lumo::ManagedMethod& method) const;

  // The whole entry of a call made without a wire: look-up of the target,
  // privilege check, invocation through the type record's invokeByIndex.
  // Arguments and results are shared with the caller, never kept: the
  // service stores copies and answers with copies.
  void Invoke(Lumo::MoRef* target, Lumo::ManagedMethod* method,
              std::vector<Kestrum::Ref<Lumo::Any>>& args, Kestrum::Ref<Lumo::Any>& result);

  SessionTable& GetSessions();
  const ServiceSettings& GetSettings() const;

 private:
  struct State;
  std::unique_ptr<State> _state;
};

}  // namespace ZelSample
