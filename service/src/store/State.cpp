#include "store/State.h"

#include <Lumo/Wire/Codec.h>

#include <type_traits>
#include <variant>

#include "Support.h"

namespace ZelSample {

namespace {

const Lumo::Wire::Codec& WireCodec() {
  static const Lumo::Wire::Codec codec;
  return codec;
}

// The size of a record's wire form, written once and kept on the record, so
// that a store that keeps the same form does not write it again.
template <class Record>
size_t Measured(Record& record, const Lumo::Any* value) {
  if (record.wire.empty()) WireCodec().EncodeValue(value, record.wire);
  return record.wire.size();
}

// The same size, for a record that may not have been measured (none is that
// the service commits: it measures every change first).
template <class Record>
size_t SizeOf(const Record& record, const Lumo::Any* value) {
  if (!record.wire.empty()) return record.wire.size();
  std::string wire;
  WireCodec().EncodeValue(value, wire);
  return wire.size();
}

size_t Growth(size_t now, size_t before) { return now > before ? now - before : 0; }

}  // namespace

ProfileState::ProfileState(std::unique_ptr<Store> store) : _store(std::move(store)) { Reload(); }

void ProfileState::Clear() {
  _bytes = 0;
  _profiles.clear();
  _byName.clear();
  _bySequence.clear();
  _associations.clear();
  _associationsByProfile.clear();
  _results.clear();
  _resultsByProfile.clear();
  _defaults.clear();
}

void ProfileState::Enter() {
  try {
    if (_store->Changed()) CatchUp();
  } catch (const StoreError& e) {
    // What memory holds may be out of date: the call cannot be answered.
    Faults::ZelFault(std::string("the stored data cannot be read now: ") + e.what());
  }
}

bool ProfileState::BeginChange() {
  try {
    return _store->BeginChange();
  } catch (const StoreError& e) {
    Faults::ZelFault(std::string("the stored data cannot be read now: ") + e.what());
  }
}

void ProfileState::EndChange() noexcept { _store->EndChange(); }

bool ProfileState::Stale() const {
  try {
    return _store->Changed();
  } catch (const StoreError& e) {
    Faults::ZelFault(std::string("the stored data cannot be read now: ") + e.what());
  }
}

void ProfileState::Follow(uint64_t sequence) const {
  uint64_t next = _nextSequence.load();
  while (sequence >= next && !_nextSequence.compare_exchange_weak(next, sequence + 1)) {
  }
}

uint64_t ProfileState::NextSequence() const {
  uint64_t order = 0;
  try {
    order = _store->NextOrder();
  } catch (const StoreError& e) {
    Faults::ProfileStorage(std::string("the change was not stored: ") + e.what());
  }
  if (order == 0) return _nextSequence++;
  Follow(order);
  return order;
}

void ProfileState::CatchUp() {
  StoredChanges changes;
  if (!_store->LoadChanges(changes)) {
    Reload();
    return;
  }
  for (const Change& drop : changes.drops) Apply(drop);
  for (const ProfileRecord& record : changes.written.profiles) {
    Follow(record.sequence);
    Put(record);
  }
  for (const AssociationRecord& record : changes.written.associations) Put(record);
  for (const ResultRecord& record : changes.written.results) Put(record);
  for (const DefaultRecord& record : changes.written.defaults)
    _defaults[record.hubId] = record.profileId;
}

void ProfileState::Reload() {
  StoredData data = _store->Load();
  Clear();
  for (const ProfileRecord& record : data.profiles) {
    Follow(record.sequence);
    Put(record);
  }
  for (const AssociationRecord& record : data.associations) Put(record);
  for (const ResultRecord& record : data.results) Put(record);
  for (DefaultRecord& record : data.defaults) _defaults[record.hubId] = record.profileId;
}

const ProfileState::StoredProfile* ProfileState::FindProfile(const std::string& id) const {
  auto it = _profiles.find(id);
  return it == _profiles.end() ? nullptr : &it->second;
}

const std::string* ProfileState::FindProfileByName(const std::string& name) const {
  auto it = _byName.find(name);
  return it == _byName.end() ? nullptr : &it->second;
}

int64_t ProfileState::GenerationOf(const std::string& id) const {
  const StoredProfile* stored = FindProfile(id);
  int64_t generation = 0;
  if (stored != nullptr) stored->profile->GetGenerationId(generation);
  return generation;
}

const ProfileState::Association* ProfileState::FindAssociation(const std::string& entityKey) const {
  auto it = _associations.find(entityKey);
  return it == _associations.end() ? nullptr : &it->second;
}

const std::set<std::string>* ProfileState::EntitiesOf(const std::string& profileId) const {
  auto it = _associationsByProfile.find(profileId);
  return it == _associationsByProfile.end() ? nullptr : &it->second;
}

const ProfileState::StoredResult* ProfileState::FindResult(const std::string& entityKey,
                                                           const std::string& profileId) const {
  auto it = _results.find({entityKey, profileId});
  return it == _results.end() ? nullptr : &it->second;
}

const std::set<std::string>* ProfileState::ResultEntitiesOf(const std::string& profileId) const {
  auto it = _resultsByProfile.find(profileId);
  return it == _resultsByProfile.end() ? nullptr : &it->second;
}

const std::string* ProfileState::DefaultOf(const std::string& hubId) const {
  auto it = _defaults.find(hubId);
  return it == _defaults.end() ? nullptr : &it->second;
}

size_t ProfileState::Measure(ChangeSet& changes) const {
  size_t added = 0;
  for (Change& change : changes) {
    if (auto* profile = std::get_if<ProfileRecord>(&change)) {
      const StoredProfile* held = FindProfile(profile->id);
      added += Growth(Measured(*profile, profile->profile.Get()), held ? held->bytes : 0);
    } else if (auto* association = std::get_if<AssociationRecord>(&change)) {
      const Association* held = FindAssociation(association->entityKey);
      added += Growth(Measured(*association, association->entity.Get()), held ? held->bytes : 0);
    } else if (auto* result = std::get_if<ResultRecord>(&change)) {
      const StoredResult* held = FindResult(result->entityKey, result->profileId);
      added += Growth(Measured(*result, result->result.Get()), held ? held->bytes : 0);
    }
  }
  return added;
}

void ProfileState::Commit(const ChangeSet& changes) {
  if (changes.empty()) return;
  _store->Commit(changes);
  for (const Change& change : changes) Apply(change);
}

void ProfileState::WriteAhead(const ChangeSet& changes) const { _store->WriteAhead(changes); }

void ProfileState::Apply(const Change& change) {
  std::visit(
      [&](const auto& c) {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, ProfileRecord>) {
          Put(c);
        } else if constexpr (std::is_same_v<T, DropProfile>) {
          Drop(c);
        } else if constexpr (std::is_same_v<T, AssociationRecord>) {
          Put(c);
        } else if constexpr (std::is_same_v<T, DropAssociation>) {
          Drop(c);
        } else if constexpr (std::is_same_v<T, ResultRecord>) {
          Put(c);
        } else if constexpr (std::is_same_v<T, DefaultRecord>) {
          _defaults[c.hubId] = c.profileId;
        } else if constexpr (std::is_same_v<T, DropDefault>) {
          _defaults.erase(c.hubId);
        }
      },
      change);
}

void ProfileState::Put(const ProfileRecord& record) {
  const size_t bytes = SizeOf(record, record.profile.Get());
  uint64_t sequence = record.sequence;
  auto it = _profiles.find(record.id);
  if (it != _profiles.end()) {
    _byName.erase(it->second.profile->GetName());
    sequence = it->second.sequence;
    _bytes -= it->second.bytes;
  }
  _byName[record.profile->GetName()] = record.id;
  _bySequence[sequence] = record.id;
  _profiles[record.id] = StoredProfile{record.profile, sequence, bytes};
  _bytes += bytes;
}

void ProfileState::Drop(const DropProfile& drop) {
  auto it = _profiles.find(drop.id);
  if (it == _profiles.end()) return;
  _byName.erase(it->second.profile->GetName());
  _bySequence.erase(it->second.sequence);
  _bytes -= it->second.bytes;
  _profiles.erase(it);
  auto associated = _associationsByProfile.find(drop.id);
  if (associated != _associationsByProfile.end()) {
    for (const std::string& key : associated->second) {
      auto held = _associations.find(key);
      if (held == _associations.end()) continue;
      _bytes -= held->second.bytes;
      _associations.erase(held);
    }
    _associationsByProfile.erase(associated);
  }
  auto results = _resultsByProfile.find(drop.id);
  if (results != _resultsByProfile.end()) {
    for (const std::string& key : results->second) {
      auto held = _results.find({key, drop.id});
      if (held == _results.end()) continue;
      _bytes -= held->second.bytes;
      _results.erase(held);
    }
    _resultsByProfile.erase(results);
  }
  for (auto d = _defaults.begin(); d != _defaults.end();) {
    d = d->second == drop.id ? _defaults.erase(d) : std::next(d);
  }
}

void ProfileState::Put(const AssociationRecord& record) {
  Drop(DropAssociation{record.entityKey});
  const size_t bytes = SizeOf(record, record.entity.Get());
  _associationsByProfile[record.profileId].insert(record.entityKey);
  _associations[record.entityKey] = Association{record.entity, record.profileId, bytes};
  _bytes += bytes;
}

void ProfileState::Drop(const DropAssociation& drop) {
  auto it = _associations.find(drop.entityKey);
  if (it == _associations.end()) return;
  auto index = _associationsByProfile.find(it->second.profileId);
  if (index != _associationsByProfile.end()) {
    index->second.erase(drop.entityKey);
    if (index->second.empty()) _associationsByProfile.erase(index);
  }
  _bytes -= it->second.bytes;
  _associations.erase(it);
}

void ProfileState::Put(const ResultRecord& record) {
  const size_t bytes = SizeOf(record, record.result.Get());
  _resultsByProfile[record.profileId].insert(record.entityKey);
  StoredResult& held = _results[{record.entityKey, record.profileId}];
  _bytes -= held.result ? held.bytes : 0;
  held = StoredResult{record.result, record.generation, bytes};
  _bytes += bytes;
}

}  // namespace ZelSample
