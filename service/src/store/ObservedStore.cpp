#include <chrono>
#include <utility>

#include "store/Store.h"

namespace ZelSample {

namespace {

// Forwards everything to the store it wraps, timing each commit (with the
// writing ahead of it, when the store writes ahead).
class ObservedStore : public Store {
 public:
  ObservedStore(std::unique_ptr<Store> store, StoreObserver observer)
      : _store(std::move(store)), _observer(std::move(observer)) {}

  StoredData Load() override { return _store->Load(); }

  void Commit(const ChangeSet& changes) override {
    if (changes.empty()) return;
    const auto ahead = std::exchange(_writtenAhead, {});
    auto started = std::chrono::steady_clock::now();
    try {
      _store->Commit(changes);
    } catch (...) {
      _observer(ahead + (std::chrono::steady_clock::now() - started), true);
      throw;
    }
    _observer(ahead + (std::chrono::steady_clock::now() - started), false);
  }

  void WriteAhead(const ChangeSet& changes) override {
    if (changes.empty()) return;
    auto started = std::chrono::steady_clock::now();
    try {
      _store->WriteAhead(changes);
    } catch (...) {
      _observer(std::chrono::steady_clock::now() - started, true);
      throw;
    }
    _writtenAhead = std::chrono::steady_clock::now() - started;
  }

  std::string Describe() const override { return _store->Describe(); }
  std::string Probe() const override { return _store->Probe(); }
  bool Changed() override { return _store->Changed(); }
  bool LoadChanges(StoredChanges& changes) override { return _store->LoadChanges(changes); }
  bool BeginChange() override { return _store->BeginChange(); }
  uint64_t NextOrder() override { return _store->NextOrder(); }

 private:
  void EndChange() noexcept override {
    _writtenAhead = {};
    _store->EndChange();
  }

  std::unique_ptr<Store> _store;
  StoreObserver _observer;
  // Written ahead of the coming commit; changes run one at a time.
  std::chrono::steady_clock::duration _writtenAhead{};
};

}  // namespace

std::unique_ptr<Store> ObserveStore(std::unique_ptr<Store> store, StoreObserver observer) {
  return std::make_unique<ObservedStore>(std::move(store), std::move(observer));
}

}  // namespace ZelSample
