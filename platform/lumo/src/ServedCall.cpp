#include "ServedCallScope.h"

namespace Lumo {

namespace {
thread_local ServedCall* tCurrentCall = nullptr;
}  // namespace

ServedCall::ServedCall() = default;
ServedCall::~ServedCall() = default;

ServedCall* CurrentCall() { return tCurrentCall; }

namespace Detail {

ServedCallScope::ServedCallScope(ServedCall& call) : _previous(tCurrentCall) {
  tCurrentCall = &call;
}

ServedCallScope::~ServedCallScope() { tCurrentCall = _previous; }

}  // namespace Detail

}  // namespace Lumo
