#include "OnDemand.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace zel::on_demand {

void* Find(const Library& library, const char* name) {
  // A library already loaded is found, not loaded again.
  void* handle = dlopen(library.soname, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    throw std::runtime_error(std::string(library.what) +
                             " cannot be loaded: " + (reason != nullptr ? reason : library.soname));
  }
  void* found = dlsym(handle, name);
  if (found == nullptr) {
    throw std::runtime_error(std::string(library.soname) + " has no function " + name);
  }
  return found;
}

}  // namespace zel::on_demand
