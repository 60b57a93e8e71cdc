// The demo conversation: its versions, and its steps in order.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wsdl.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelDemo/Conversation.h>

#include <ostream>

#include "Conversing.h"

namespace ZelDemo {

using Kestrum::Ref;

namespace Detail {

const char* MethodVersion(Lumo::ManagedObjectType* type, const char* method) {
  Lumo::ManagedMethod* found = type->FindMethod(method);
  return found ? found->GetVersion() : nullptr;
}

const char* PropertyVersion(Lumo::DataObjectType* type, const char* property) {
  int index = type->FindProperty(property);
  return index < 0 ? nullptr : type->GetProperty(index).version;
}

Conversing::Conversing(Transcript& transcript, Lumo::StubAdapter* adapter,
                       Lumo::MoRef* serviceInstance, const ConversationOptions& options)
    : t(transcript),
      adapter(adapter),
      options(options),
      instance(new Zel::ServiceInstanceStub(serviceInstance, adapter, nullptr)),
      goldSpec(Spec("Gold",
                    {Sub("replicated", {Capability("replicaCount", Int(2)),
                                        Capability("encryption", Bool(true))}),
                     Sub("fast", {Capability("performanceTier", TextSet({"gold"})),
                                  Capability("stripeWidth", IntRange(2, 8))})},
                    std::string("two encrypted replicas, or the gold tier striped wide"))),
      bronzeSpec(
          Spec("Bronze",
               {Sub("economy", {Capability("replicaCount", IntRange(1, 2)),
                                Capability("performanceTier", TextSet({"silver", "bronze"}))}),
                Sub("narrow", {Capability("stripeWidth", Int(1))})},
               std::string("one or two copies on economical media"))),
      vm(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, "vm-42")),
      disk0(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, "vm-42:2000")),
      disk1(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, "vm-42:2001")) {}

}  // namespace Detail

Kestrum::Ref<Lumo::MoRef> ServiceInstanceRef() {
  return Kestrum::Ref<Lumo::MoRef>(new Lumo::MoRef("zel.ServiceInstance", "ServiceInstance"));
}

std::vector<std::pair<std::string, std::string>> KnownVersions() {
  std::vector<std::pair<std::string, std::string>> all;
  for (const Lumo::Wire::ApiVersion& version : Lumo::Wire::ListApiVersions()) {
    if (version.ns == "zel") all.emplace_back(version.name, version.versionId);
  }
  return all;
}

std::string ResolveVersion(const std::string& text) {
  return Lumo::Wire::ResolveApiVersion("zel", text);
}

std::string DefaultVersion() { return Lumo::Wire::DefaultApiVersion("zel"); }

std::string CheckVersion(const std::string& version) {
  const char* login =
      Detail::MethodVersion(Lumo::GetMoType<Zel::Auth::SessionManager>(), "loginByToken");
  if (Lumo::Wire::ApiVersionCarries(version, login)) return std::string();
  return "the conversation logs in by token, which " + version + " does not have (it came with " +
         login + "): choose that version or a later one";
}

ConversationResult RunConversation(Lumo::StubAdapter* adapter, Lumo::MoRef* serviceInstance,
                                   const ConversationOptions& options, std::ostream& out) {
  std::string unsuitable = CheckVersion(options.version);
  if (!unsuitable.empty()) {
    out << "The conversation cannot run: " << unsuitable << ".\n";
    ConversationResult refused;
    refused.failed.push_back(unsuitable);
    return refused;
  }
  Detail::Transcript t(out);
  Detail::Conversing demo(t, adapter, serviceInstance, options);
  Detail::RunOpeningSteps(demo);
  if (!demo.profiles) return t.Result();
  Detail::RunProfileSteps(demo);
  Detail::RunAssociationSteps(demo);
  Detail::RunStorageSteps(demo);
  Detail::RunClosingSteps(demo);

  out << "\n"
      << (t.Result().failed.empty() ? "Conversation complete: " : "Conversation FAILED: ")
      << t.Result().steps << " steps, "
      << (t.Result().failed.empty() ? std::string("every answer as expected")
                                    : std::to_string(t.Result().failed.size()) + " not as expected")
      << ".\n";
  return t.Result();
}

}  // namespace ZelDemo
