// A shared library loaded on the first call of one of its functions.
//
// A shim defines each function the programs call with the library's own
// declaration (so a signature that differs does not compile), forwarding to
// the library's function, looked up once. Programs link the shim instead of
// the library and map the library, and what it needs, only when they use it.
#pragma once

namespace zel::on_demand {

// A shared library by its soname, and what errors call it.
struct Library {
  const char* soname;
  const char* what;
};

// The address of the function `name` of `library`, loaded now if it is not
// yet. Throws std::runtime_error naming the library and the loader's reason
// when it cannot be loaded, or the function when the library lacks it.
void* Find(const Library& library, const char* name);

}  // namespace zel::on_demand

// "prefix" followed by the number `major` (a macro's value): a soname made
// from the version the headers are of.
#define ZEL_ON_DEMAND_SONAME(prefix, major) prefix ZEL_ON_DEMAND_TEXT(major)
#define ZEL_ON_DEMAND_TEXT(number) #number

// Defines the C function `name` with the library's parameters, calling the
// library's own `name`, looked up once in `library` (a Library). A failed
// look-up throws out of the initialiser, so the next call tries again.
#define ZEL_FORWARD_ON_DEMAND(library, result, name, parameters, arguments)          \
  extern "C" result name parameters {                                                \
    static const auto target =                                                       \
        reinterpret_cast<decltype(&::name)>(::zel::on_demand::Find(library, #name)); \
    return target arguments;                                                         \
  }
