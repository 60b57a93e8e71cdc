// Writes the seed corpus of lumo-json-fuzz into the folder given: a value of
// every data object, enumeration and managed type as the writer writes it,
// and the arguments and a result of the method the target reads. Each file
// starts with the byte that selects the reader (0 value, 1 arguments,
// 2 result).
#include <Lumo/Json/Json.h>
#include <Lumo/Lumo.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "WireTestSupport.h"

namespace {

void Write(const std::string& folder, const std::string& name, char reader,
           const std::string& document) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.put(reader);
  out << document;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lumo-json-fuzz-seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  WireTest::StartRuntime();
  Lumo::Json::Codec codec;
  WireTest::Filler filler(9);
  int n = 0;
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    Kestrum::Ref<Lumo::Any> value;
    if (type->IsDataObject()) {
      value = filler.Object(static_cast<const Lumo::DataObjectType*>(type));
    } else if (type->IsEnum()) {
      value =
          Kestrum::Ref<Lumo::Any>(static_cast<const Lumo::EnumType*>(type)->GetFuncs().boxValue(0));
    } else if (type->IsManagedObject()) {
      value = filler.Reference(type);
    }
    if (value) Write(folder, "value-" + std::to_string(n++), 0, codec.EncodeValue(value.Get()));
  }
  Write(folder, "arguments", 1,
        R"({"resourceType":{"resourceType":"STORAGE"},"profileCategory":"REQUIREMENT"})");
  Write(folder, "result", 2,
        R"([{"uniqueId":"a"},{"_type":"zel.profile.ProfileId","uniqueId":"b"}])");
  std::printf("%d values and 2 calls written to %s\n", n, folder.c_str());
  return 0;
}
