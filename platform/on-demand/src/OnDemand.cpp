#include "OnDemand.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace zel::on_demand {

void* Load(const char* soname, const char* what) {
  void* opened = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (opened == nullptr) {
    const char* reason = dlerror();
    throw std::runtime_error(std::string(what) +
                             " cannot be loaded: " + (reason != nullptr ? reason : soname));
  }
  return opened;
}

void* Find(void* library, const char* soname, const char* name) {
  void* found = dlsym(library, name);
  if (found == nullptr) {
    throw std::runtime_error(std::string(soname) + " has no function " + name);
  }
  return found;
}

}  // namespace zel::on_demand
