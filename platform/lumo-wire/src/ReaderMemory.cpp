#include "ReaderMemory.h"

#include <cstdlib>
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

struct ThreadMemory {
  std::vector<void*> pages;
  // Bytes freed since the last trim: pages beyond the bound, large copies.
  size_t released = 0;
  ~ThreadMemory();
};

thread_local bool tGone = false;
thread_local ThreadMemory tMemory;

ThreadMemory::~ThreadMemory() {
  for (void* page : pages) std::free(page);
  pages.clear();
  tGone = true;
}

void* Allocate(size_t size) {
  size_t total = size + kHeader;
  char* block = nullptr;
  if (total <= kCachedBlock) {
    total = kCachedBlock;
    if (!tGone && !tMemory.pages.empty()) {
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
  if (!tGone) {
    if (total == kCachedBlock && tMemory.pages.size() < kKeptPages) {
      if (tMemory.pages.capacity() == 0) tMemory.pages.reserve(kKeptPages);
      tMemory.pages.push_back(block);
      return;
    }
    tMemory.released += total;
  }
  std::free(block);
}

thread_local bool tCopyInUse = false;

}  // namespace

void InstallParserMemory() { pugi::set_memory_management_functions(Allocate, Deallocate); }

MessageCopy::MessageCopy(std::string_view message) {
  if (!tCopyInUse) {
    tCopyInUse = true;
    _shared = true;
    Buffer().assign(message.data(), message.size());
  } else {
    _own.assign(message.data(), message.size());
  }
}

MessageCopy::~MessageCopy() {
  if (!_shared) return;
  tCopyInUse = false;
  std::string& buffer = Buffer();
  if (buffer.capacity() > kKeptCopyBytes) {
    if (!tGone) tMemory.released += buffer.capacity();
    std::string().swap(buffer);
  }
  AfterRead();
}

std::string& MessageCopy::Buffer() {
  thread_local std::string buffer;
  return buffer;
}

void AfterRead() {
  if (tGone || tMemory.released < kTrimBytes) return;
  tMemory.released = 0;
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
