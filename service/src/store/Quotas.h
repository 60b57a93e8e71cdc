// Bounds on what clients can make the service store: per session (profiles
// created, associations added, compliance results stored over the session's
// life), for the whole service, and per call.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/Wire/Codec.h>
#include <ZelSample/Service.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace ZelSample {

// What one call adds: new profiles, new associated entities, new results,
// and the bytes of what it stores (ProfileState::Measure).
struct QuotaUse {
  size_t profiles = 0;
  size_t associations = 0;
  size_t results = 0;
  size_t bytes = 0;
};

class QuotaTable {
 public:
  // Where the sessions' counts are kept when several services share them:
  // read by `of`, reset by `forgetAll`; a call's additions are then
  // committed with its changes (SessionCharge) instead of charged here.
  struct SharedUsage {
    std::function<QuotaUse(const std::string& session)> of;
    std::function<void()> forgetAll;
  };

  explicit QuotaTable(const QuotaSettings& settings, std::chrono::seconds idleTimeout);

  // Keeps the sessions' counts in usage from now on.
  void ShareUsage(SharedUsage usage) { _shared = std::move(usage); }
  bool CountsShared() const { return static_cast<bool>(_shared.of); }

  // Refuses, with the fault `refuse` raises, a call whose additions would
  // take its session, or the service holding `held`, past a limit. Sessions
  // are named by id; an empty id (a call made inside the service) is bounded
  // by the service's limits only.
  void Check(const std::string& session, const QuotaUse& adds, const QuotaUse& held,
             void (*refuse)(const std::string& message)) const;
  // Counts what a committed call added.
  void Charge(const std::string& session, const QuotaUse& adds);
  // Forgets a session (at its logout).
  void Forget(const std::string& session);
  // Forgets what every session added (when the stored data is reset).
  void ForgetAll();

  // Refuses (InvalidArgument at path) a call naming more entities than a
  // call may.
  void CheckEntityCount(size_t count, const std::string& path) const;
  // Refuses (InvalidArgument at path) a profile description longer than
  // maxDescriptionBytes.
  void CheckDescription(const std::string& description, const std::string& path) const;

  // Throws the wire format's fault when the current call came over a wire
  // and its answer could not be written there: larger than answerLimits
  // allow, or not writable in the call's API version. The wire writes the
  // answer only after the call returns, so a changing call asks this before
  // it commits: an answer that cannot be sent then changes nothing. Written
  // with the dispatcher's own codec settings, the check is exact: what passes
  // it is sent. Does nothing for a call that came without a wire.
  void CheckAnswer(const Lumo::ManagedMethod& method, const Lumo::Any* answer) const;

  const QuotaSettings& GetSettings() const { return _settings; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Usage {
    QuotaUse used;
    Clock::time_point lastCharged;
  };
  void PruneLocked(Clock::time_point now);

  const QuotaSettings _settings;
  const std::chrono::seconds _idleTimeout;
  SharedUsage _shared;
  const Lumo::Wire::Codec& CodecFor(const std::string& version) const;

  mutable std::mutex _mutex;
  std::unordered_map<std::string, Usage> _sessions;
  // The answer checks' codecs, by API version.
  mutable std::map<std::string, std::unique_ptr<Lumo::Wire::Codec>> _codecs;
};

}  // namespace ZelSample
