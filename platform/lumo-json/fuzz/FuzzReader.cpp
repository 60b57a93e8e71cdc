// libFuzzer entry: the first byte chooses what to read (a value, or the
// arguments or the result of zel.profile.ProfileManager.queryProfile), the
// rest is the document. Readers must return a whole value or refuse with
// Json::Error; a value read is written again and must read back.
#include <Lumo/Json/Json.h>
#include <Lumo/Lumo.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

struct Setup {
  Setup() {
    Lumo::StartRuntime();
    Lumo::Json::Options options;
    options.limits.maxMessageBytes = 1 << 20;
    options.limits.maxDepth = 32;
    codec = new Lumo::Json::Codec(options);
    auto* manager =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"));
    method = manager->FindMethod("queryProfile");
  }
  Lumo::Json::Codec* codec;
  const Lumo::ManagedMethod* method;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  if (size == 0) return 0;
  std::string_view document(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 3) {
      case 0: {
        Kestrum::Ref<Lumo::Any> value = setup.codec->DecodeValue(document);
        // What was read is what the writer writes again.
        std::string again = setup.codec->EncodeValue(value.Get());
        setup.codec->DecodeValue(again);
        break;
      }
      case 1:
        setup.codec->DecodeArguments(setup.method, document);
        break;
      default:
        setup.codec->DecodeResult(setup.method, document);
        break;
    }
  } catch (const Lumo::Json::Error&) {
  }
  return 0;
}
