// The call a served object is running in.
//
// ObjectRegistry::Invoke makes a ServedCall current on the serving thread for
// the time of the call: the registry's before-invoke hook (a privilege check)
// and the implementation read it through CurrentCall(). The transport that
// hands the call over fills in what it carries (the session of its client);
// a transport that reads calls from bytes adds what it read in a class of its
// own (Lumo::Wire::CallInfo). Calls nest: the previous call comes back when an
// inner one ends.
#pragma once

#include <string>

namespace Lumo {

class ServedCall {
 public:
  ServedCall();
  virtual ~ServedCall();
  ServedCall(const ServedCall&) = delete;
  ServedCall& operator=(const ServedCall&) = delete;

  // The session the call came with (a cookie, for HTTP); empty for none.
  std::string sessionId;
  // True when the transport carries the session back to its client, so that
  // a login or a logout during the call reaches it.
  bool keepsSessions = false;
  // Set by ReplaceSession: a login or a logout replaced sessionId.
  bool sessionChanged = false;
  // The user of the call's session, as the service resolved it: the user
  // whose session the call came with (still after a logout ends it), or the
  // user a login opened a session for. Empty when no session was resolved.
  std::string user;

  void ReplaceSession(const std::string& id) {
    sessionId = id;
    sessionChanged = true;
  }
};

// The call this thread is serving; null outside any.
ServedCall* CurrentCall();

}  // namespace Lumo
