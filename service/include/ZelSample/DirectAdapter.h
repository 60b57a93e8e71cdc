// A stub adapter that hands each call straight to a SampleService, without a
// wire: a local stub adapter into the service's registry (look-up,
// privilege check, invokeByIndex) that keeps the session of its client as a
// transport would keep a cookie. The arguments the stub packed reach the
// service as they are. Meant for tests and for in-process use; one adapter
// is one client. GetSessionId and SetSessionId are the local stub adapter's.
#pragma once

#include <Lumo/Wire/StubAdapters.h>
#include <ZelSample/Service.h>

namespace ZelSample {

class DirectAdapter : public Lumo::Wire::LocalStubAdapter {
 public:
  explicit DirectAdapter(SampleService& service);

 protected:
  ~DirectAdapter() override;
};

}  // namespace ZelSample
