// What the steps of the demo conversation share: the transcript, the stubs
// of the service's managers, and the profiles and entities it works with.
#pragma once

#include <Lumo/Stub.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Auth/SessionManager-decl.h>
#include <Olyx/Zel/Compliance/ComplianceManager-decl.h>
#include <Olyx/Zel/Profile/ProfileManager-decl.h>
#include <Olyx/Zel/ServiceInstance-decl.h>
#include <Olyx/Zel/ServiceInstanceContent-decl.h>
#include <ZelDemo/Conversation.h>
#include <ZelSample/ProfileSpecs.h>

#include <string>

#include "Transcript.h"

namespace ZelDemo {
namespace Detail {

using namespace ZelSample::Build;

struct Conversing {
  Conversing(Transcript& transcript, Lumo::StubAdapter* adapter, Lumo::MoRef* serviceInstance,
             const ConversationOptions& options);

  Transcript& t;
  Lumo::StubAdapter* const adapter;
  const ConversationOptions& options;
  Ref<Zel::ServiceInstanceStub> instance;
  // Set once the service content has been read.
  Ref<Zel::ServiceInstanceContent> content;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;
  // The two profiles made, their ids once created, and the entities "Gold"
  // is associated with.
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> goldSpec;
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> bronzeSpec;
  std::string gold;
  std::string bronze;
  Ref<Zel::ServerObjectRef> vm;
  Ref<Zel::ServerObjectRef> disk0;
  Ref<Zel::ServerObjectRef> disk1;
};

// The version a property or method came with; null when it has none.
const char* PropertyVersion(Lumo::DataObjectType* type, const char* property);
const char* MethodVersion(Lumo::ManagedObjectType* type, const char* method);

// The service content, a call refused before login, the login.
void RunOpeningSteps(Conversing& demo);
// Resource types, capability metadata, and the profiles made, queried and
// read back.
void RunProfileSteps(Conversing& demo);
// Associations both ways and the compliance of the associated entities.
void RunAssociationSteps(Conversing& demo);
// Where storage goes: the placement of a new disk, a default profile for a
// datastore, compliance rolled up per machine.
void RunStorageSteps(Conversing& demo);
// The profiles deleted, and the logout.
void RunClosingSteps(Conversing& demo);

}  // namespace Detail
}  // namespace ZelDemo
