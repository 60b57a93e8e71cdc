// libFuzzer entry: the first byte chooses what to read (a value, a request or
// a response of zel.profile.ProfileManager.retrieveContent), the rest is the
// message. Readers must return a whole value or refuse with a runtime fault.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

struct Setup {
  Setup() {
    Lumo::StartRuntime();
    Lumo::Wire::Options options;
    options.limits.maxMessageBytes = 1 << 20;
    options.limits.maxDepth = 32;
    codec = new Lumo::Wire::Codec(options);
    auto* manager =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"));
    method = manager->FindMethod("retrieveContent");
  }
  Lumo::Wire::Codec* codec;
  const Lumo::ManagedMethod* method;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  if (size == 0) return 0;
  std::string_view message(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 3) {
      case 0:
        setup.codec->DecodeValue(message);
        break;
      case 1:
        setup.codec->DecodeRequest(message);
        break;
      default:
        setup.codec->DecodeResponse(setup.method, message);
        break;
    }
  } catch (const Lumo::MethodFault::Exception&) {
  }
  return 0;
}
