#include "store/Quotas.h"

#include <Lumo/Wire/Dispatcher.h>

#include "Support.h"

namespace ZelSample {

namespace {

constexpr size_t kPruneAbove = 4096;
constexpr char kStoredBytes[] = "bytes of profiles, associations and compliance results";

std::string Over(const std::string& what, size_t limit, const char* whose) {
  return "quota exceeded: " + std::string(whose) + " may hold at most " + std::to_string(limit) +
         " " + what;
}

}  // namespace

QuotaTable::QuotaTable(const QuotaSettings& settings, std::chrono::seconds idleTimeout)
    : _settings(settings), _idleTimeout(idleTimeout) {}

void QuotaTable::Check(const std::string& session, const QuotaUse& adds, const QuotaUse& held,
                       void (*refuse)(const std::string& message)) const {
  if (adds.profiles > 0 && held.profiles + adds.profiles > _settings.maxProfiles) {
    refuse(Over("profiles", _settings.maxProfiles, "the service"));
  }
  if (adds.associations > 0 && held.associations + adds.associations > _settings.maxAssociations) {
    refuse(Over("associations", _settings.maxAssociations, "the service"));
  }
  if (adds.results > 0 && held.results + adds.results > _settings.maxResults) {
    refuse(Over("compliance results", _settings.maxResults, "the service"));
  }
  if (adds.bytes > 0 && held.bytes + adds.bytes > _settings.maxBytes) {
    refuse(Over(kStoredBytes, _settings.maxBytes, "the service"));
  }
  if (session.empty()) return;
  QuotaUse used;
  if (CountsShared()) {
    used = _shared.of(session);
  } else {
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _sessions.find(session);
    if (it != _sessions.end()) used = it->second.used;
  }
  if (adds.profiles > 0 && used.profiles + adds.profiles > _settings.profilesPerSession) {
    refuse(Over("profiles it created", _settings.profilesPerSession, "a session"));
  }
  if (adds.associations > 0 &&
      used.associations + adds.associations > _settings.associationsPerSession) {
    refuse(Over("associations it added", _settings.associationsPerSession, "a session"));
  }
  if (adds.results > 0 && used.results + adds.results > _settings.resultsPerSession) {
    refuse(Over("compliance results it stored", _settings.resultsPerSession, "a session"));
  }
  if (adds.bytes > 0 && used.bytes + adds.bytes > _settings.bytesPerSession) {
    refuse(Over(std::string(kStoredBytes) + " it stored", _settings.bytesPerSession, "a session"));
  }
}

void QuotaTable::Charge(const std::string& session, const QuotaUse& adds) {
  if (session.empty() ||
      (adds.profiles == 0 && adds.associations == 0 && adds.results == 0 && adds.bytes == 0)) {
    return;
  }
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(_mutex);
  if (_sessions.size() > kPruneAbove) PruneLocked(now);
  Usage& usage = _sessions[session];
  usage.used.profiles += adds.profiles;
  usage.used.associations += adds.associations;
  usage.used.results += adds.results;
  usage.used.bytes += adds.bytes;
  usage.lastCharged = now;
}

void QuotaTable::Forget(const std::string& session) {
  std::lock_guard<std::mutex> lock(_mutex);
  _sessions.erase(session);
}

void QuotaTable::ForgetAll() {
  if (_shared.forgetAll) _shared.forgetAll();
  std::lock_guard<std::mutex> lock(_mutex);
  _sessions.clear();
}

void QuotaTable::CheckEntityCount(size_t count, const std::string& path) const {
  if (count > _settings.maxEntitiesPerCall) {
    Faults::InvalidArgument(path, "a call may name at most " +
                                      std::to_string(_settings.maxEntitiesPerCall) + " entities");
  }
}

void QuotaTable::CheckDescription(const std::string& description, const std::string& path) const {
  if (description.size() > _settings.maxDescriptionBytes) {
    Faults::InvalidArgument(path, "the description is longer than " +
                                      std::to_string(_settings.maxDescriptionBytes) + " bytes");
  }
}

void QuotaTable::CheckAnswer(const Lumo::ManagedMethod& method, const Lumo::Any* answer) const {
  const Lumo::Wire::CallInfo* call = Lumo::Wire::Dispatcher::CurrentCall();
  if (call == nullptr) return;
  std::string xml;
  CodecFor(call->version != nullptr ? *call->version : std::string())
      .EncodeResult(&method, answer, xml);
}

const Lumo::Wire::Codec& QuotaTable::CodecFor(const std::string& version) const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::unique_ptr<Lumo::Wire::Codec>& codec = _codecs[version];
  if (!codec) {
    Lumo::Wire::Options options;
    options.version = version;
    options.limits = _settings.answerLimits;
    codec = std::make_unique<Lumo::Wire::Codec>(options);
  }
  return *codec;
}

void QuotaTable::PruneLocked(Clock::time_point now) {
  // A session unused for longer than the idle timeout has ended.
  for (auto it = _sessions.begin(); it != _sessions.end();) {
    it = now - it->second.lastCharged > _idleTimeout ? _sessions.erase(it) : std::next(it);
  }
}

}  // namespace ZelSample
