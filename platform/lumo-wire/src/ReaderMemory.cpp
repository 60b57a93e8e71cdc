#include "ReaderMemory.h"

#include <cstdlib>
#include <mutex>
#include <pugixml.hpp>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

// ---- pugixml's memory ---------------------------------------------------------
//
// A parse fills pages of about 32 KiB. Taken from and given back to malloc
// one message at a time, large messages spend most of their time in page
// faults of fresh memory; a small per-thread cache of freed pages makes the
// parse several times faster. The functions are the allocation functions of
// this library's own (static, hidden) copy of pugixml, installed while the
// library is loaded, before any document exists.

constexpr size_t kHeader = 16;  // keeps the alignment malloc gives
constexpr size_t kCachedBlock = 32768 + 256;

// Pages and a larger copy no thread keeps, for whichever thread needs them
// next.
struct SharedPages {
  std::mutex mutex;
  std::vector<void*> pages;
  std::string copy;
};

SharedPages& Shared() {
  static SharedPages* shared = new SharedPages();  // outlives every thread
  return *shared;
}

struct ThreadMemory {
  std::vector<void*> pages;
  // Bytes freed since the last trim: pages beyond the bounds, large copies.
  size_t released = 0;
  ~ThreadMemory();
};

thread_local bool tGone = false;
thread_local ThreadMemory tMemory;

// Moves the thread's pages beyond keep to the shared pool, and frees what
// does not fit there.
void Spill(std::vector<void*>& pages, size_t keep, size_t& released) {
  if (pages.size() <= keep) return;
  {
    SharedPages& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    while (pages.size() > keep && shared.pages.size() < kSharedPages) {
      shared.pages.push_back(pages.back());
      pages.pop_back();
    }
  }
  while (pages.size() > keep) {
    std::free(pages.back());
    pages.pop_back();
    released += kCachedBlock;
  }
}

// Refills the thread's pages from the shared pool; false when it is empty.
bool Refill(std::vector<void*>& pages) {
  SharedPages& shared = Shared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  while (!shared.pages.empty() && pages.size() < kKeptPages) {
    pages.push_back(shared.pages.back());
    shared.pages.pop_back();
  }
  return !pages.empty();
}

ThreadMemory::~ThreadMemory() {
  size_t ignored = 0;
  Spill(pages, 0, ignored);
  tGone = true;
}

void* Allocate(size_t size) {
  size_t total = size + kHeader;
  char* block = nullptr;
  if (total <= kCachedBlock) {
    total = kCachedBlock;
    if (!tGone && (!tMemory.pages.empty() || Refill(tMemory.pages))) {
      block = static_cast<char*>(tMemory.pages.back());
      tMemory.pages.pop_back();
    }
  }
  if (!block) block = static_cast<char*>(std::malloc(total));
  if (!block) return nullptr;
  *reinterpret_cast<size_t*>(block) = total;
  return block + kHeader;
}

void Deallocate(void* pointer) {
  if (!pointer) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  size_t total = *reinterpret_cast<size_t*>(block);
  if (tGone) return std::free(block);
  if (total != kCachedBlock) {
    tMemory.released += total;
    return std::free(block);
  }
  tMemory.pages.push_back(block);
  if (tMemory.pages.size() >= 2 * kKeptPages) Spill(tMemory.pages, kKeptPages, tMemory.released);
}

thread_local bool tCopyInUse = false;

}  // namespace

void InstallParserMemory() { pugi::set_memory_management_functions(Allocate, Deallocate); }

MessageCopy::MessageCopy(std::string_view message) {
  if (!tCopyInUse) {
    tCopyInUse = true;
    _shared = true;
    std::string& buffer = Buffer();
    if (message.size() > buffer.capacity()) {
      SharedPages& shared = Shared();
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.copy.capacity() >= message.size()) buffer.swap(shared.copy);
    }
    buffer.assign(message.data(), message.size());
  } else {
    _own.assign(message.data(), message.size());
  }
}

MessageCopy::~MessageCopy() {
  if (!_shared) return;
  tCopyInUse = false;
  std::string& buffer = Buffer();
  if (buffer.capacity() > kKeptCopyBytes) {
    // The larger copy goes to the shared slot when that is free.
    if (buffer.capacity() <= kSharedCopyBytes) {
      SharedPages& shared = Shared();
      std::lock_guard<std::mutex> lock(shared.mutex);
      if (shared.copy.capacity() <= kKeptCopyBytes) buffer.swap(shared.copy);
    }
    if (buffer.capacity() > kKeptCopyBytes) {
      if (!tGone) tMemory.released += buffer.capacity();
      std::string().swap(buffer);
    }
  }
  AfterRead();
}

std::string& MessageCopy::Buffer() {
  thread_local std::string buffer;
  return buffer;
}

void AfterRead() {
  if (tGone) return;
  Spill(tMemory.pages, kKeptPages, tMemory.released);
  if (tMemory.released < kTrimBytes) return;
  tMemory.released = 0;
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

size_t SharedReaderBytes() {
  SharedPages& shared = Shared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  return shared.pages.size() * kCachedBlock + shared.copy.capacity();
}

void FreeSharedReaderMemory() {
  std::vector<void*> pages;
  std::string copy;
  {
    SharedPages& shared = Shared();
    std::lock_guard<std::mutex> lock(shared.mutex);
    pages.swap(shared.pages);
    copy.swap(shared.copy);
  }
  for (void* page : pages) std::free(page);
  if (!tGone) {
    while (tMemory.pages.size() > kIdlePages) {
      std::free(tMemory.pages.back());
      tMemory.pages.pop_back();
    }
    tMemory.released = 0;
  }
  std::string& buffer = MessageCopy::Buffer();
  if (!tCopyInUse && buffer.capacity() > kIdleCopyBytes) std::string().swap(buffer);
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

size_t KeptReaderBytes() {
  size_t pages = tGone ? 0 : tMemory.pages.size() * kCachedBlock;
  return pages + MessageCopy::Buffer().capacity();
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
