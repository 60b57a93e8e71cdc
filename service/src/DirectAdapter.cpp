#include <ZelSample/DirectAdapter.h>

namespace ZelSample {

DirectAdapter::DirectAdapter(SampleService& service)
    : LocalStubAdapter(service.GetRegistry(), Lumo::Wire::SessionKeeping::kKept) {}

DirectAdapter::~DirectAdapter() = default;

}  // namespace ZelSample
