#include "store/Store.h"

namespace ZelSample {

namespace {

class MemoryStore : public Store {
 public:
  StoredData Load() override { return StoredData(); }
  void Commit(const ChangeSet&) override {}
  std::string Describe() const override { return "memory"; }
};

}  // namespace

std::unique_ptr<Store> MakeMemoryStore() { return std::make_unique<MemoryStore>(); }

}  // namespace ZelSample
