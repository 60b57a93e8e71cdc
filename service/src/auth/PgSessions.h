// Sessions kept in the PostgreSQL database that several services share: a
// login on one is a session on all, a logout or an idle expiry on one ends
// it on all, and the bounds hold for all of them together.
#pragma once

#include <ZelSample/Sessions.h>

#include <memory>
#include <string>

namespace ZelSample {

// The counts a session's calls added, for its quotas.
struct SessionUsage {
  size_t profiles = 0;
  size_t associations = 0;
  size_t results = 0;
  size_t bytes = 0;
};

class SharedSessionTable : public SessionTable {
 public:
  using SessionTable::SessionTable;
  // What the session's calls added; zeros for an unknown session. Throws
  // StoreError.
  virtual SessionUsage UsageOf(const std::string& id) = 0;
  // Forgets what every session added.
  virtual void ForgetAllUsage() = 0;
};

// Throws StoreError for a database it cannot reach.
std::unique_ptr<SharedSessionTable> OpenPostgresSessions(const std::string& uri,
                                                         SessionTable::Settings settings);

}  // namespace ZelSample
