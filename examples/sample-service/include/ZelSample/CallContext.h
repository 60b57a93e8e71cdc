// What the transport knows about the call being served.
//
// A transport (HTTP, an in-process wire, a direct adapter) makes a
// CallContext current for the time it hands one call to the service. The
// service reads the session from it to check privileges, and the session
// manager writes the new session into it on login and logout; the transport
// then tells the client (a cookie, for HTTP).
#pragma once

#include <string>

namespace ZelSample {

struct CallContext {
  // The session the call came with; empty for none.
  std::string sessionId;
  // Set when a login or a logout replaced sessionId during the call.
  bool sessionChanged = false;
};

// Makes a context the current one of this thread for the life of the scope.
// Scopes nest; the previous context comes back when a scope ends.
class CallScope {
 public:
  explicit CallScope(CallContext& context);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // The context of the call this thread serves; null outside any scope.
  static CallContext* Current();

 private:
  CallContext* _previous;
};

}  // namespace ZelSample
