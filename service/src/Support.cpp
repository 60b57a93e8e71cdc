#include "Support.h"

#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Fault/AlreadyExists.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Fault/ProfileStorageFault.h>
#include <Olyx/Zel/Fault/ZELFault.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>

namespace ZelSample {
namespace Faults {

namespace {

// Throws a fault of type F carrying message.
template <class F>
[[noreturn]] void Throw(const std::string& message) {
  auto fault = Kestrum::MakeRef<F>();
  fault->SetMsg(message);
  throw typename F::Exception(fault.Get());
}

// A fault of type F carrying message, to be kept in an answer.
template <class F>
Kestrum::Ref<Lumo::MethodFault> Make(const std::string& message) {
  auto fault = Kestrum::MakeRef<F>();
  fault->SetMsg(message);
  return Kestrum::Ref<Lumo::MethodFault>(fault.Get());
}

}  // namespace

void NotSupported(const std::string& message) { Throw<Lumo::Fault::NotSupported>(message); }

void InvalidArgument(const std::string& property, const std::string& message) {
  auto fault = Kestrum::MakeRef<Lumo::Fault::InvalidArgument>();
  fault->SetInvalidProperty(property);
  fault->SetMsg(message);
  throw Lumo::Fault::InvalidArgument::Exception(fault.Get());
}

Kestrum::Ref<Lumo::MethodFault> MakeNotFound(const std::string& message) {
  return Make<Zel::Fault::NotFound>(message);
}

void NotFound(const std::string& message) { Throw<Zel::Fault::NotFound>(message); }

void DuplicateName(const std::string& name) {
  auto fault = Kestrum::MakeRef<Zel::Fault::DuplicateName>();
  fault->SetName(name);
  fault->SetMsg("a profile named \"" + name + "\" already exists");
  throw Zel::Fault::DuplicateName::Exception(fault.Get());
}

void AlreadyExists(const std::string& name) {
  auto fault = Kestrum::MakeRef<Zel::Fault::AlreadyExists>();
  fault->SetName(Kestrum::Optional<std::string>(name));
  fault->SetMsg("\"" + name + "\" is already registered");
  throw Zel::Fault::AlreadyExists::Exception(fault.Get());
}

Kestrum::Ref<Lumo::MethodFault> MakeZelFault(const std::string& message) {
  return Make<Zel::Fault::ZELFault>(message);
}

void ZelFault(const std::string& message) { Throw<Zel::Fault::ZELFault>(message); }

void ProfileStorage(const std::string& message) { Throw<Zel::Fault::ProfileStorageFault>(message); }

void InvalidLogin(const std::string& message) { Throw<Zel::Fault::InvalidLogin>(message); }

void NotAuthorized(const std::string& message) { Throw<Lumo::MethodFault>(message); }

}  // namespace Faults

Kestrum::Ref<Lumo::Array<std::string>> StringArray(const std::vector<std::string>& values) {
  auto array = Kestrum::MakeRef<Lumo::Array<std::string>>();
  for (const std::string& value : values) array->Append(value);
  return array;
}

std::string RandomUuid() {
  static std::mutex mutex;
  static std::mt19937_64 engine{std::random_device{}()};
  uint64_t high;
  uint64_t low;
  {
    std::lock_guard<std::mutex> lock(mutex);
    high = engine();
    low = engine();
  }
  high = (high & ~uint64_t{0xF000}) | uint64_t{0x4000};          // version 4
  low = (low & ~(uint64_t{0xC} << 60)) | (uint64_t{0x8} << 60);  // variant 1
  char text[37];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(high >> 32),
                static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

Kestrum::System::DateTime Now() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return Kestrum::System::DateTime(
      std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

}  // namespace ZelSample
