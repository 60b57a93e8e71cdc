// A stub adapter that hands each call straight to a SampleService, without a
// wire: the arguments the stub packed reach the service's entry (its
// registry's Invoke: look-up, privilege check, invokeByIndex) as they are.
// It keeps the session of its client as a transport would keep a cookie. Meant for tests and for
// in-process use; one adapter is one client.
#pragma once

#include <Lumo/Stub.h>
#include <ZelSample/Service.h>

#include <mutex>
#include <string>

namespace ZelSample {

class DirectAdapter : public Lumo::StubAdapter {
 public:
  explicit DirectAdapter(SampleService& service);

  void Invoke(Lumo::Stub* stub, Lumo::ManagedMethod* method,
              std::vector<Kestrum::Ref<Lumo::Any>>& args, Kestrum::Ref<Lumo::Any>& result) override;

  // The client's session; empty before a login and after a logout.
  std::string GetSessionId() const;
  void SetSessionId(const std::string& id);

 protected:
  ~DirectAdapter() override;

 private:
  SampleService& _service;
  mutable std::mutex _mutex;
  std::string _sessionId;
};

}  // namespace ZelSample
