// zel.ZelDebugManager: tag categories, tags, and tags attached to the
// datastores of the inventory, kept in memory.
#pragma once

#include <Olyx/Zel/ZelDebugManager.h>
#include <ZelSample/Inventory.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "Support.h"

namespace ZelSample {

class DebugManagerImpl : public Served<Zel::ZelDebugManager> {
 public:
  DebugManagerImpl(const char* id, const Inventory& inventory);

  void AddTag(const std::string& tag, const std::string& tagCategory) override;
  void AttachTagToDatastore(const std::string& tagName, const std::string& tagCategory,
                            const std::string& datastoreMoId) override;
  void DetachTagFromDatastore(const std::string& tagName, const std::string& tagCategory,
                              const std::string& datastoreMoId) override;
  void AddTagCategory(const std::string& categoryName) override;
  void DeleteTag(Lumo::Array<std::string>* tagName, const std::string& tagCategory) override;
  void DeleteCategory(const std::string& category) override;

 private:
  static constexpr size_t kMaxTags = 10000;
  const Inventory& _inventory;
  std::mutex _mutex;
  // Category to its tags, each tag to the datastores it is attached to.
  std::map<std::string, std::map<std::string, std::set<std::string>>> _categories;
  size_t _tagCount = 0;
};

}  // namespace ZelSample
