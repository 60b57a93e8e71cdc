#include <ZelSample/CallContext.h>

namespace ZelSample {

namespace {
thread_local CallContext* tCurrent = nullptr;
}  // namespace

CallScope::CallScope(CallContext& context) : _previous(tCurrent) { tCurrent = &context; }

CallScope::~CallScope() { tCurrent = _previous; }

CallContext* CallScope::Current() { return tCurrent; }

}  // namespace ZelSample
