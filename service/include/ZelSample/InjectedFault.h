// Faults injected into calls on purpose, for clients that test how they
// handle them: what configureErrorMode sets, and what a test double's
// operator sets beyond it (a session, a number of calls, a delay, a failure
// of the HTTP exchange itself).
#pragma once

#include <chrono>
#include <string>

namespace ZelSample {

struct InjectedFault {
  // How the HTTP exchange of the call fails instead of answering.
  enum class Http {
    kNone,
    // 503 Service Unavailable, with nothing run.
    kUnavailable,
    // The connection is reset without an answer, with nothing run.
    kReset,
  };

  // The method: its full name (zel.profile.ProfileManager.create), its
  // type's short name and its own (ProfileManager.create), or its own alone
  // (create) when one type of the API has a method of that name.
  std::string method;
  // Only calls of this session; empty: every call of the method.
  std::string session;
  // The next this many calls it meets; 0: every call until cleared.
  int calls = 0;
  // The fault raised (a fault type's name, zel.fault.ZELFault); empty: none.
  std::string fault;
  // Waited before the call fails or, with neither a fault nor an HTTP
  // failure, before it runs.
  std::chrono::milliseconds delay{0};
  Http http = Http::kNone;
};

// The longest delay an injected fault may have.
inline constexpr std::chrono::milliseconds kMaxInjectedDelay{60000};

}  // namespace ZelSample
