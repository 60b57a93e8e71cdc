// A client of the sample service on the wire: stubs over a wire adapter and
// an in-process transport into the service's endpoint.
#pragma once

#include <Lumo/Wire/StubAdapters.h>
#include <ZelSample/WireEndpoint.h>

#include <string>

#include "TestSupport.h"

namespace ZelSampleTest {

struct WireClient {
  Ref<ZelSample::InProcessTransport> transport;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;

  // Speaks the given API version; the newest without one.
  explicit WireClient(ZelSample::WireEndpoint* endpoint, const std::string& version = "") {
    transport = new ZelSample::InProcessTransport(endpoint);
    Lumo::Wire::Options options;
    options.version = version;
    adapter = new Lumo::Wire::WireStubAdapter(transport.Get(), options);
    sessions = new Zel::Auth::SessionManagerStub(
        RefOf("zel.auth.SessionManager", ZelSample::ObjectIds::kSessionManager).Get(),
        adapter.Get(), nullptr);
    profiles = new Zel::Profile::ProfileManagerStub(
        RefOf("zel.profile.ProfileManager", ZelSample::ObjectIds::kProfileManager).Get(),
        adapter.Get(), nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(
        RefOf("zel.compliance.ComplianceManager", ZelSample::ObjectIds::kComplianceManager).Get(),
        adapter.Get(), nullptr);
  }
};

}  // namespace ZelSampleTest
