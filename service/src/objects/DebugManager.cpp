// zel.ZelDebugManager (DebugManager.h).
#include "objects/DebugManager.h"

#include <Olyx/Zel/Fault/AlreadyExists.h>

namespace ZelSample {

DebugManagerImpl::DebugManagerImpl(const char* id, const Inventory& inventory)
    : Served(id), _inventory(inventory) {}

namespace {

void CheckName(const std::string& name, const char* path) {
  if (name.empty()) Faults::InvalidArgument(path, "the name is empty");
  if (name.size() > 256) Faults::InvalidArgument(path, "the name is longer than 256 bytes");
}

}  // namespace

void DebugManagerImpl::AddTagCategory(const std::string& categoryName) {
  CheckName(categoryName, "categoryName");
  std::lock_guard<std::mutex> lock(_mutex);
  if (_categories.count(categoryName) != 0) Faults::AlreadyExists(categoryName);
  if (_categories.size() >= kMaxTags) Faults::ZelFault("the service holds its maximum of tags");
  _categories[categoryName];
}

void DebugManagerImpl::AddTag(const std::string& tag, const std::string& tagCategory) {
  CheckName(tag, "tag");
  std::lock_guard<std::mutex> lock(_mutex);
  auto category = _categories.find(tagCategory);
  if (category == _categories.end()) Faults::NotFound("no tag category " + tagCategory);
  if (category->second.count(tag) != 0) Faults::AlreadyExists(tagCategory + "/" + tag);
  if (_tagCount >= kMaxTags) Faults::ZelFault("the service holds its maximum of tags");
  category->second[tag];
  ++_tagCount;
}

void DebugManagerImpl::AttachTagToDatastore(const std::string& tagName,
                                            const std::string& tagCategory,
                                            const std::string& datastoreMoId) {
  if (_inventory.FindHub(datastoreMoId) == nullptr) {
    Faults::NotFound("the inventory has no datastore " + datastoreMoId);
  }
  std::lock_guard<std::mutex> lock(_mutex);
  auto category = _categories.find(tagCategory);
  if (category == _categories.end()) Faults::NotFound("no tag category " + tagCategory);
  auto tag = category->second.find(tagName);
  if (tag == category->second.end()) Faults::NotFound("no tag " + tagCategory + "/" + tagName);
  tag->second.insert(datastoreMoId);
}

void DebugManagerImpl::DetachTagFromDatastore(const std::string& tagName,
                                              const std::string& tagCategory,
                                              const std::string& datastoreMoId) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto category = _categories.find(tagCategory);
  if (category == _categories.end()) Faults::NotFound("no tag category " + tagCategory);
  auto tag = category->second.find(tagName);
  if (tag == category->second.end() || tag->second.erase(datastoreMoId) == 0) {
    Faults::NotFound("the tag " + tagCategory + "/" + tagName + " is not attached to " +
                     datastoreMoId);
  }
}

void DebugManagerImpl::DeleteTag(Lumo::Array<std::string>* tagName,
                                 const std::string& tagCategory) {
  if (tagName == nullptr || tagName->GetLength() == 0) {
    Faults::InvalidArgument("tagName", "no tags given");
  }
  std::lock_guard<std::mutex> lock(_mutex);
  auto category = _categories.find(tagCategory);
  if (category == _categories.end()) Faults::NotFound("no tag category " + tagCategory);
  // All or none: every tag must exist before any goes.
  for (int i = 0; i < tagName->GetLength(); ++i) {
    if (category->second.count(tagName->Get(i)) == 0) {
      Faults::NotFound("no tag " + tagCategory + "/" + tagName->Get(i));
    }
  }
  for (int i = 0; i < tagName->GetLength(); ++i) {
    _tagCount -= category->second.erase(tagName->Get(i));
  }
}

void DebugManagerImpl::DeleteCategory(const std::string& category) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _categories.find(category);
  if (it == _categories.end()) Faults::NotFound("no tag category " + category);
  _tagCount -= it->second.size();
  _categories.erase(it);
}

}  // namespace ZelSample
