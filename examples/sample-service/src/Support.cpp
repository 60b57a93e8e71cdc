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

void NotServed(const char* qualifiedMethod) {
  auto fault = Kestrum::MakeRef<Lumo::Fault::NotSupported>();
  fault->SetMsg(std::string(qualifiedMethod) + " is not served by the sample service");
  throw Lumo::Fault::NotSupported::Exception(fault.Get());
}

void NotSupported(const std::string& message) {
  auto fault = Kestrum::MakeRef<Lumo::Fault::NotSupported>();
  fault->SetMsg(message);
  throw Lumo::Fault::NotSupported::Exception(fault.Get());
}

void InvalidArgument(const std::string& property, const std::string& message) {
  auto fault = Kestrum::MakeRef<Lumo::Fault::InvalidArgument>();
  fault->SetInvalidProperty(property);
  fault->SetMsg(message);
  throw Lumo::Fault::InvalidArgument::Exception(fault.Get());
}

Kestrum::Ref<Lumo::MethodFault> MakeNotFound(const std::string& message) {
  auto fault = Kestrum::MakeRef<Zel::Fault::NotFound>();
  fault->SetMsg(message);
  return Kestrum::Ref<Lumo::MethodFault>(fault.Get());
}

void NotFound(const std::string& message) {
  auto fault = Kestrum::MakeRef<Zel::Fault::NotFound>();
  fault->SetMsg(message);
  throw Zel::Fault::NotFound::Exception(fault.Get());
}

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

void ZelFault(const std::string& message) {
  auto fault = Kestrum::MakeRef<Zel::Fault::ZELFault>();
  fault->SetMsg(message);
  throw Zel::Fault::ZELFault::Exception(fault.Get());
}

void ProfileStorage(const std::string& message) {
  auto fault = Kestrum::MakeRef<Zel::Fault::ProfileStorageFault>();
  fault->SetMsg(message);
  throw Zel::Fault::ProfileStorageFault::Exception(fault.Get());
}

void InvalidLogin(const std::string& message) {
  auto fault = Kestrum::MakeRef<Zel::Fault::InvalidLogin>();
  fault->SetMsg(message);
  throw Zel::Fault::InvalidLogin::Exception(fault.Get());
}

void NotAuthorized(const std::string& message) {
  auto fault = Kestrum::MakeRef<Lumo::MethodFault>();
  fault->SetMsg(message);
  throw Lumo::MethodFault::Exception(fault.Get());
}

}  // namespace Faults

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
