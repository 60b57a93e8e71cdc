#include "objects/ServiceCore.h"

#include <Lumo/ServedCall.h>
#include <Lumo/Type.h>

#include "Support.h"

namespace ZelSample {

using Kestrum::Ref;

void ProviderTable::Add(const std::string& uniqueId, const Lumo::Any& record) {
  Ref<Lumo::Any> copy(record._Clone());
  std::lock_guard<std::mutex> lock(_mutex);
  for (const auto& [id, held] : _records) {
    if (id == uniqueId) Faults::AlreadyExists(uniqueId);
  }
  if (_records.size() >= kMaxRegistrations) {
    Faults::InvalidArgument("uniqueId", "the registry holds its maximum of " +
                                            std::to_string(kMaxRegistrations) + " providers");
  }
  _records.emplace_back(uniqueId, copy);
}

void ProviderTable::Remove(const std::string& uniqueId) {
  std::lock_guard<std::mutex> lock(_mutex);
  for (auto it = _records.begin(); it != _records.end(); ++it) {
    if (it->first == uniqueId) {
      _records.erase(it);
      return;
    }
  }
  Faults::NotFound("no provider is registered with the id \"" + uniqueId + "\"");
}

size_t ProviderTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _records.size();
}

std::vector<std::string> ProviderTable::Ids() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<std::string> ids;
  for (const auto& [id, record] : _records) ids.push_back(id);
  return ids;
}

std::vector<Ref<Lumo::Any>> ProviderTable::Records() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<Ref<Lumo::Any>> records;
  for (const auto& [id, record] : _records) records.push_back(record);
  return records;
}

void ProviderDirectory::AddLocal(Lumo::ManagedObject* provider, Ref<Kestrum::Object> owner) {
  _local[provider->_GetRef()->GetId()] = {provider, owner};
}

Lumo::ManagedObject* ProviderDirectory::FindLocal(const Lumo::MoRef* ref) const {
  if (ref == nullptr) return nullptr;
  auto it = _local.find(ref->GetId());
  if (it == _local.end()) return nullptr;
  Lumo::Type* named = Lumo::FindTypeByName(ref->GetTypeName());
  if (named == nullptr || !it->second.first->_GetType()->IsA(named)) return nullptr;
  return it->second.first;
}

void CommitChanges(ServiceCore& core, ChangingState& state, ChangeSet changes, QuotaUse adds,
                   void (*refuse)(const std::string& message)) {
  const std::string session = CurrentSession();
  adds.bytes = state->Measure(changes);
  QuotaUse held{state->ProfileCount(), state->Associations().size(), state->Results().size(),
                state->StoredBytes()};
  core.quotas.Check(session, adds, held, refuse);
  const bool shared = core.quotas.CountsShared();
  if (shared && !session.empty() &&
      (adds.profiles != 0 || adds.associations != 0 || adds.results != 0 || adds.bytes != 0)) {
    // Counted with the change, in the same transaction: no other service
    // can see the change without the count.
    changes.push_back(
        SessionCharge{session, adds.profiles, adds.associations, adds.results, adds.bytes});
  }
  try {
    state->WriteAhead(changes);
    state.Exclusive().Commit(changes);
  } catch (const StoreError& e) {
    Faults::ProfileStorage(std::string("the change was not stored: ") + e.what());
  }
  if (!shared) core.quotas.Charge(session, adds);
}

std::string CurrentUser(SessionTable& sessions) {
  if (const Lumo::ServedCall* call = Lumo::CurrentCall()) {
    if (auto session = sessions.Find(call->sessionId)) return session->user;
  }
  return "anonymous";
}

std::string CurrentSession() {
  const Lumo::ServedCall* call = Lumo::CurrentCall();
  return call != nullptr ? call->sessionId : std::string();
}

}  // namespace ZelSample
